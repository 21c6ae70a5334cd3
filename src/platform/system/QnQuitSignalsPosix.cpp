#include "platform/system/QnQuitSignals.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcQuitSignals, "qn.system.signals")

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The self-pipe of the active object: the handler may only write to it. -1 while none is active.
volatile sig_atomic_t g_writeFd = -1;
int g_readFd = -1;

extern "C" void onQuitSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (g_writeFd >= 0) {
        // A full pipe already holds a request to quit: dropping this byte loses nothing.
        [[maybe_unused]] const ssize_t written = ::write(g_writeFd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

QnQuitSignals::QnQuitSignals(QObject *parent) : QObject(parent)
{
    if (g_readFd >= 0) {
        qCWarning(lcQuitSignals) << "signal handlers already installed by another object";
        return;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcQuitSignals) << "no pipe for the signal handlers:" << strerror(errno);
        return;
    }
    g_readFd = fds[0];
    g_writeFd = fds[1];
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &action, nullptr);
    m_notifier = new QSocketNotifier(g_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QnQuitSignals::onReadable);
}

QnQuitSignals::~QnQuitSignals()
{
    if (!m_notifier)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals)
        ::sigaction(s, &action, nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    const int writeFd = g_writeFd;
    g_writeFd = -1;
    ::close(writeFd);
    ::close(g_readFd);
    g_readFd = -1;
}

void QnQuitSignals::onReadable()
{
    unsigned char bytes[16];
    const ssize_t n = ::read(g_readFd, bytes, sizeof bytes);
    if (n > 0) {
        qCInfo(lcQuitSignals) << "signal" << int(bytes[0]) << "asks the program to end";
        emit received(int(bytes[0]));
    }
}

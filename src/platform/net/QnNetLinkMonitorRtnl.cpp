// rtnetlink backend of the link monitor.
#include "platform/net/QnNetLinkMonitor.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcNetLink, "qn.net.link")

namespace {
struct FdCloser
{
    int fd = -1;
    ~FdCloser() { reset(); }
    void reset(int n = -1)
    {
        if (fd >= 0)
            ::close(fd);
        fd = n;
    }
};
} // namespace

struct QnNetLinkMonitor::Impl
{
    FdCloser socket;
    std::unique_ptr<QSocketNotifier> notifier;
};

QnNetLinkMonitor::QnNetLinkMonitor(QObject *parent) : QObject(parent), d(std::make_unique<Impl>()) {}

QnNetLinkMonitor::~QnNetLinkMonitor()
{
    stop();
}

bool QnNetLinkMonitor::start()
{
    if (isRunning())
        return true;
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0) {
        qCWarning(lcNetLink) << "cannot open the rtnetlink socket:" << std::strerror(errno);
        return false;
    }
    d->socket.reset(fd);
    sockaddr_nl addr{};
    addr.nl_family = AF_NETLINK;
    addr.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        qCWarning(lcNetLink) << "cannot bind the rtnetlink socket:" << std::strerror(errno);
        d->socket.reset();
        return false;
    }
    d->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(d->notifier.get(), &QSocketNotifier::activated, this, &QnNetLinkMonitor::onReadable);
    qCDebug(lcNetLink) << "watching link, address and route notices";
    return true;
}

void QnNetLinkMonitor::stop()
{
    d->notifier.reset();
    d->socket.reset();
}

bool QnNetLinkMonitor::isRunning() const
{
    return d->socket.fd >= 0;
}

void QnNetLinkMonitor::onReadable()
{
    // Drain everything pending; the content does not matter, the owner re-reads the state.
    alignas(nlmsghdr) char buf[16384];
    int messages = 0;
    bool lost = false;
    for (;;) {
        const ssize_t n = ::recv(d->socket.fd, buf, sizeof buf, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == ENOBUFS) { // the kernel dropped notices: the state must be re-read anyway
                lost = true;
                continue;
            }
            break; // EAGAIN: drained
        }
        if (n == 0)
            break;
        int len = static_cast<int>(n);
        for (auto *h = reinterpret_cast<nlmsghdr *>(buf); NLMSG_OK(h, len); h = NLMSG_NEXT(h, len)) {
            if (h->nlmsg_type == RTM_NEWLINK || h->nlmsg_type == RTM_DELLINK ||
                h->nlmsg_type == RTM_NEWADDR || h->nlmsg_type == RTM_DELADDR ||
                h->nlmsg_type == RTM_NEWROUTE || h->nlmsg_type == RTM_DELROUTE)
                ++messages;
        }
    }
    if (messages > 0 || lost) {
        qCDebug(lcNetLink) << "notices:" << messages << (lost ? "(some lost)" : "");
        emit changed();
    }
}

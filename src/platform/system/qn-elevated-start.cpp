// qn-elevated-start <working folder> <program> [arguments...]
//
// Runs (usually as root, under pkexec) in front of a program that must not be waited for. It
// changes to the working folder ("" keeps the current one), starts the program in a session of its
// own with its standard streams on /dev/null, and reports on its own standard output:
//   "started"    exit 0  the program runs
//   "not-found"  exit 3  the program does not exist or cannot be run
//   "failed"     exit 4  anything else (bad arguments, no such folder, fork failed)
// It exits as soon as the start is decided; the program is re-parented and keeps running.
// Plain POSIX on purpose: it runs with administrator rights and must stay small.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int report(const char *text, int code)
{
    std::printf("%s\n", text);
    std::fflush(stdout);
    return code;
}

// Retries a call interrupted by a signal.
template<typename F> auto retry(F f)
{
    decltype(f()) r;
    do {
        r = f();
    } while (r < 0 && errno == EINTR);
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3 || argv[2][0] == '\0')
        return report("failed", 4);
    if (argv[1][0] != '\0' && ::chdir(argv[1]) != 0)
        return report("failed", 4);

    // The child writes its exec errno here; a close without data means the exec succeeded.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return report("failed", 4);

    const pid_t pid = ::fork();
    if (pid < 0)
        return report("failed", 4);
    if (pid == 0) {
        ::close(fds[0]);
        ::setsid();
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            if (null > 2)
                ::close(null);
        }
        ::execvp(argv[2], argv + 2);
        const int err = errno;
        retry([&] { return ::write(fds[1], &err, sizeof err); });
        ::_exit(127);
    }

    ::close(fds[1]);
    int err = 0;
    const ssize_t n = retry([&] { return ::read(fds[0], &err, sizeof err); });
    ::close(fds[0]);
    if (n == 0)
        return report("started", 0);
    retry([&] { return ::waitpid(pid, nullptr, 0); });
    if (n == static_cast<ssize_t>(sizeof err) && (err == ENOENT || err == EACCES || err == ENOTDIR))
        return report("not-found", 3);
    return report("failed", 4);
}

#include "platform/UnixSignalWatcher.h"

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace keskor {

namespace {
// The one thing a handler can reach: the write end of the watcher's pipe.
volatile std::sig_atomic_t g_writeFd = -1;

void onSignal(int number) {
    const char byte = static_cast<char>(number);
    if (g_writeFd >= 0) {
        [[maybe_unused]] const auto n = ::write(g_writeFd, &byte, 1);
    }
}
} // namespace

UnixSignalWatcher::UnixSignalWatcher(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_fds) != 0) {
        return;
    }
    fcntl(m_fds[0], F_SETFL, O_NONBLOCK);
    fcntl(m_fds[1], F_SETFL, O_NONBLOCK);
    g_writeFd = m_fds[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_fds[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(m_fds[0], &byte, 1) == 1) {
            Q_EMIT stopRequested(static_cast<int>(byte));
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

UnixSignalWatcher::~UnixSignalWatcher() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    g_writeFd = -1;
    m_notifier.reset();
    for (const int fd : m_fds) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

} // namespace keskor

#pragma once
// Turns SIGINT and SIGTERM into a Qt signal on the main thread, so a stop request runs the
// normal quit sequence instead of killing the process mid-write. A signal handler may only
// write to a pipe; the notifier reads it in the event loop.

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace keskor {

class UnixSignalWatcher : public QObject {
    Q_OBJECT
public:
    /// One watcher per process: the handler needs the pipe without an object.
    explicit UnixSignalWatcher(QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

Q_SIGNALS:
    void stopRequested(int signalNumber);

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_fds[2] = {-1, -1};
};

} // namespace keskor

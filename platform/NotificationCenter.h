#pragma once
// Broadcasts named notifications with a user-info map to the handlers observing that name, in
// the order they started observing. Lives on the main thread: handlers always run there.
// A post from another thread is forwarded to the main thread (and warned about once, since it
// is a mistake of the caller that delays the delivery).

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <atomic>
#include <functional>
#include <vector>

namespace keskor {

class NotificationCenter : public QObject {
    Q_OBJECT
public:
    using Token = quint64;
    using Handler = std::function<void(const QVariantMap& userInfo)>;

    explicit NotificationCenter(QObject* parent = nullptr);

    /// Delivers at once to every current observer of `name`. An observer removed by an earlier
    /// handler of the same post is not called; one added during the post is called from the
    /// next post on.
    void post(const QString& name, const QVariantMap& userInfo = {});
    /// Starts observing; the token (never 0) ends it.
    Token observe(const QString& name, Handler handler);
    /// Unknown or already removed tokens are ignored.
    void removeObserver(Token token);

    int observerCount(const QString& name) const;

private:
    struct Observer {
        Token token;
        QString name;
        Handler handler;
    };
    bool isRegistered(Token token) const;

    std::vector<Observer> m_observers;
    Token m_nextToken = 1;
    std::atomic<bool> m_warnedThread = false;
};

} // namespace keskor

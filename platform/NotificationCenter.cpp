#include "platform/NotificationCenter.h"

#include <QDebug>
#include <QMetaObject>
#include <QThread>
#include <algorithm>

namespace keskor {

NotificationCenter::NotificationCenter(QObject* parent) : QObject(parent) {}

void NotificationCenter::post(const QString& name, const QVariantMap& userInfo) {
    if (QThread::currentThread() != thread()) {
        if (!m_warnedThread.exchange(true)) {
            qWarning().noquote() << "notifications:" << name
                                 << "posted from a worker thread; delivered on the main thread";
        }
        QMetaObject::invokeMethod(
            this, [this, name, userInfo]() { post(name, userInfo); }, Qt::QueuedConnection);
        return;
    }
    std::vector<std::pair<Token, Handler>> targets;
    for (const Observer& observer : m_observers) {
        if (observer.name == name) {
            targets.emplace_back(observer.token, observer.handler);
        }
    }
    for (const auto& [token, handler] : targets) {
        if (isRegistered(token)) {
            handler(userInfo);
        }
    }
}

NotificationCenter::Token NotificationCenter::observe(const QString& name, Handler handler) {
    Q_ASSERT_X(QThread::currentThread() == thread(), "NotificationCenter::observe",
               "observe on the main thread");
    const Token token = m_nextToken++;
    m_observers.push_back(Observer{token, name, std::move(handler)});
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    Q_ASSERT_X(QThread::currentThread() == thread(), "NotificationCenter::removeObserver",
               "remove observers on the main thread");
    std::erase_if(m_observers, [token](const Observer& o) { return o.token == token; });
}

int NotificationCenter::observerCount(const QString& name) const {
    return int(std::count_if(m_observers.begin(), m_observers.end(),
                             [&name](const Observer& o) { return o.name == name; }));
}

bool NotificationCenter::isRegistered(Token token) const {
    return std::any_of(m_observers.begin(), m_observers.end(),
                       [token](const Observer& o) { return o.token == token; });
}

} // namespace keskor

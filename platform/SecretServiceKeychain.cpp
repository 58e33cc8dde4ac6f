#include "platform/SecretServiceKeychain.h"

#include "core/shared/CommonException.h"

#include <QDebug>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace keskor {

SecretServiceKeychain::SecretServiceKeychain(const QString& fallbackFile,
                                             const QDBusConnection& bus, QString service,
                                             int timeoutMs)
    : m_fallback(fallbackFile), m_service(std::move(service)), m_timeoutMs(timeoutMs) {
    if (!bus.isConnected()) {
        m_useFallback = true;
        m_fallbackReason = QStringLiteral("there is no D-Bus session");
    }
}

SecretServiceKeychain::SecretServiceKeychain(const QString& fallbackFile)
    : SecretServiceKeychain(fallbackFile, QDBusConnection::sessionBus()) {}

void SecretServiceKeychain::set(const QString& key, const QString& text) {
    if (serviceUsable()) {
        const Result result = run(Operation::Write, key, text);
        if (result.outcome == Outcome::Done) {
            // An older copy in the file would come back if the service entry were removed.
            if (fallbackHolds(key)) {
                m_fallback.remove(key);
            }
            return;
        }
        if (result.outcome != Outcome::Unavailable) {
            throw CommonException(
                QStringLiteral("Cannot store the secret in the keychain: %1").arg(result.error));
        }
        switchToFallback(result.error);
    }
    m_fallback.set(key, text);
}

std::optional<QString> SecretServiceKeychain::get(const QString& key) {
    if (serviceUsable()) {
        const Result result = run(Operation::Read, key, {});
        switch (result.outcome) {
        case Outcome::Done:
            return result.text;
        case Outcome::NotFound:
            return fallbackHolds(key) ? m_fallback.get(key) : std::nullopt;
        case Outcome::Failed:
            qWarning().noquote() << "keychain: cannot read" << key << ":" << result.error;
            return std::nullopt;
        case Outcome::Unavailable:
            switchToFallback(result.error);
            break;
        }
    }
    return m_fallback.get(key);
}

void SecretServiceKeychain::remove(const QString& key) {
    if (serviceUsable()) {
        const Result result = run(Operation::Delete, key, {});
        if (result.outcome == Outcome::Unavailable) {
            switchToFallback(result.error);
        } else if (result.outcome == Outcome::Failed) {
            throw CommonException(
                QStringLiteral("Cannot remove the secret from the keychain: %1").arg(result.error));
        }
    }
    if (fallbackHolds(key)) {
        m_fallback.remove(key);
    }
}

bool SecretServiceKeychain::serviceUsable() {
    if (m_useFallback && !m_fallbackNoted) {
        // Said on first use rather than at start, so runs that never touch a secret stay quiet.
        m_fallbackNoted = true;
        qWarning().noquote() << "keychain: the Secret Service is not available ("
                             << m_fallbackReason << "); secrets are kept in" << m_fallback.path();
    }
    return !m_useFallback;
}

bool SecretServiceKeychain::fallbackHolds(const QString& key) {
    return QFileInfo::exists(m_fallback.path()) && m_fallback.get(key).has_value();
}

void SecretServiceKeychain::switchToFallback(const QString& reason) {
    if (m_useFallback) {
        return;
    }
    m_useFallback = true;
    m_fallbackReason = reason;
    serviceUsable();
}

SecretServiceKeychain::Result SecretServiceKeychain::run(Operation operation, const QString& key,
                                                         const QString& text) {
    QKeychain::Job* job = nullptr;
    switch (operation) {
    case Operation::Read:
        job = new QKeychain::ReadPasswordJob(m_service);
        break;
    case Operation::Write: {
        auto* write = new QKeychain::WritePasswordJob(m_service);
        write->setTextData(text);
        job = write;
        break;
    }
    case Operation::Delete:
        job = new QKeychain::DeletePasswordJob(m_service);
        break;
    }
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);

    Result result;
    bool finished = false;
    QEventLoop loop;
    // The loop is the context: if we give up waiting, a late finish reaches nothing of ours and
    // the job deletes itself.
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* done) {
        finished = true;
        switch (done->error()) {
        case QKeychain::NoError:
            result.outcome = Outcome::Done;
            if (operation == Operation::Read) {
                result.text = static_cast<QKeychain::ReadPasswordJob*>(done)->textData();
            }
            break;
        case QKeychain::EntryNotFound:
            result.outcome = operation == Operation::Delete ? Outcome::Done : Outcome::NotFound;
            break;
        case QKeychain::NoBackendAvailable:
        case QKeychain::NotImplemented:
            result.outcome = Outcome::Unavailable;
            break;
        default:
            result.outcome = Outcome::Failed;
            break;
        }
        result.error = done->errorString();
        loop.quit();
    });
    QTimer::singleShot(m_timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!finished) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!finished) {
        result.outcome = Outcome::Unavailable;
        result.error = QStringLiteral("no answer within %1 ms").arg(m_timeoutMs);
    }
    return result;
}

} // namespace keskor

#include "tools/BreachCheck.h"

#include "tools/PwnedPasswordsClient.h"
#include "tools/PwnedRangeParser.h"

namespace keskor {

struct BreachCheck::Run {
    /// Prefix → the suffixes asked for under it, as the service answers by prefix.
    QHash<QString, QStringList> suffixes;
    qsizetype open = 0;
    bool finished = false;
    Counts counts;
    Done onDone;
    Failed onFailure;
};

BreachCheck::BreachCheck(PwnedPasswordsClient& client) : m_client(client) {}

BreachCheck::~BreachCheck() = default;

bool BreachCheck::isRunning() const noexcept {
    return m_run && !m_run->finished;
}

void BreachCheck::start(const QStringList& digests, Done onDone, Failed onFailure) {
    // The callbacks of an abandoned run hold only a weak reference: they find it gone.
    m_run = std::make_shared<Run>();
    m_run->onDone = std::move(onDone);
    m_run->onFailure = std::move(onFailure);
    for (const QString& digest : digests) {
        QStringList& list = m_run->suffixes[PwnedPasswordsClient::rangePrefix(digest)];
        const QString suffix = PwnedPasswordsClient::rangeSuffix(digest);
        if (!list.contains(suffix)) {
            list.append(suffix);
        }
    }
    m_run->open = m_run->suffixes.size();
    if (m_run->open == 0) {
        m_run->finished = true;
        if (m_run->onDone) {
            m_run->onDone({});
        }
        return;
    }
    const QStringList prefixes = m_run->suffixes.keys();
    const std::weak_ptr<Run> weak = m_run;
    for (const QString& prefix : prefixes) {
        m_client.fetchRange(
            prefix,
            [weak, prefix](const QByteArray& body) {
                const std::shared_ptr<Run> run = weak.lock();
                if (!run || run->finished) {
                    return;
                }
                const QString text = QString::fromUtf8(body);
                for (const QString& suffix : run->suffixes.value(prefix)) {
                    run->counts.insert(prefix.toLower() + suffix,
                                       PwnedRangeParser::countForSuffix(text, suffix));
                }
                if (--run->open == 0) {
                    run->finished = true;
                    if (run->onDone) {
                        run->onDone(run->counts);
                    }
                }
            },
            [weak](const UiText& message) {
                const std::shared_ptr<Run> run = weak.lock();
                if (!run || run->finished) {
                    return;
                }
                run->finished = true;
                if (run->onFailure) {
                    run->onFailure(message);
                }
            });
    }
}

} // namespace keskor

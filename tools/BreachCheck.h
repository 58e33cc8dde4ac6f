#pragma once
// Asks the breached-password service about many passwords at once: the passwords are given as
// their digest texts, grouped by prefix so that one range request answers every password
// sharing it, and the counts come back together once every answer is in. The first failure
// ends the check; nothing partial is reported.

#include "platform/UiText.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace keskor {

class PwnedPasswordsClient;

class BreachCheck {
public:
    /// Digest text → how often that password occurs in known breaches (0: not found).
    using Counts = QHash<QString, qint64>;
    using Done = std::function<void(const Counts& counts)>;
    using Failed = std::function<void(const UiText& message)>;

    explicit BreachCheck(PwnedPasswordsClient& client);
    /// Answers still under way are dropped; neither callback runs afterwards.
    ~BreachCheck();
    BreachCheck(const BreachCheck&) = delete;
    BreachCheck& operator=(const BreachCheck&) = delete;

    /// Starts the requests for `digests` (PwnedPasswordsClient::digestText) and returns at once;
    /// exactly one callback runs later on the client's thread (at once when there is nothing to
    /// ask). A check still running is abandoned first.
    void start(const QStringList& digests, Done onDone, Failed onFailure);
    bool isRunning() const noexcept;

private:
    struct Run;
    PwnedPasswordsClient& m_client;
    std::shared_ptr<Run> m_run;
};

} // namespace keskor

#pragma once
// What the dev server puts into an empty data folder so that it can be tried at once: two
// users with random passwords and two databases, one with an entry of every kind.

#include <QString>
#include <QStringList>

namespace keskor::testing {

class EnterpriseServer;

class DemoServerData {
public:
    /// Does nothing unless the server has no users and no databases. Returns the lines that
    /// tell how to sign in (empty when nothing was made); `error` is set on failure.
    static QStringList seedIfEmpty(EnterpriseServer& server, QString* error);
};

} // namespace keskor::testing

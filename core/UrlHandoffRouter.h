#pragma once
// What the running program does with an argument handed to it by a later `keskor` process or
// by the desktop (a sign-in redirect, a database file): a Google redirect goes to the Google
// Drive provider's pending sign-in, a Box one to Box, any other URL to Dropbox's redirect
// handler; a database path is opened as a local database; anything else, and an empty list,
// only brings the window to the front.

#include <QString>
#include <QStringList>
#include <functional>

namespace keskor {

class DatabaseController;
class RemoteStorageManager;

class UrlHandoffRouter {
public:
    enum class Target { googleDrive, box, dropbox, localDatabase, front };

    /// `bringToFront` shows the window the way the status menu does (through the unlock
    /// prompt when locked).
    UrlHandoffRouter(RemoteStorageManager& remote, DatabaseController& databases,
                     std::function<void()> bringToFront);

    /// Routes each argument in turn; with none, brings the window to the front.
    void route(const QStringList& arguments);
    void route(const QString& argument);

    /// Where an argument goes.
    static Target targetOf(const QString& argument);
    /// Makes the paths among `arguments` absolute against `workingDirectory`, as a later
    /// process must do before it hands them to one running elsewhere. URLs stay as they are.
    static QStringList absoluteArguments(const QStringList& arguments,
                                         const QString& workingDirectory);

private:
    RemoteStorageManager& m_remote;
    DatabaseController& m_databases;
    std::function<void()> m_bringToFront;
};

} // namespace keskor

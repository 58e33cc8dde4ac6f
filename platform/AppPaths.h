#pragma once
// The per-user folders and files of the process. Everything the program keeps for a user lives
// under these paths, so a profile folder (--profile DIR or KESKOR_HOME) isolates a run entirely:
// nothing else of the user's home is read or written.

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace keskor {

class AppPaths {
public:
    /// All paths under `root` (tests, and the profile folder of a run).
    explicit AppPaths(const QString& root);

    /// `--profile DIR` or `--profile=DIR` wins over KESKOR_HOME; without either the XDG
    /// locations of the application "keskor" are used. Throws CommonException when --profile
    /// has no folder.
    static AppPaths fromArguments(const QStringList& args, const QProcessEnvironment& env);

    /// True when a profile folder was given.
    bool isProfile() const noexcept { return m_isProfile; }
    /// The root of everything kept for this user (not created by this call).
    QString profileRoot() const { return m_root; }
    /// The INI file of the defaults store (its folder is created by the store on writing).
    QString settingsFile() const { return m_settingsFile; }
    /// The application data folder: working copies, backups; created on first use.
    QString documents() const;
    /// The folder of log files; created on first use.
    QString logs() const;
    /// Where secrets go when no Secret Service is reachable.
    QString keychainFallbackFile() const { return m_keychainFile; }

private:
    AppPaths(QString root, QString settingsFile, QString documents, QString logs,
             QString keychainFile, bool isProfile);
    static QString ensured(const QString& folder);

    QString m_root;
    QString m_settingsFile;
    QString m_documents;
    QString m_logs;
    QString m_keychainFile;
    bool m_isProfile = false;
};

} // namespace keskor

#pragma once
// Program launches and URL opens for tests: records each one, finds the programs a test
// declares installed, and fails when told to.

#include "platform/AppLauncher.h"
#include "platform/UrlOpener.h"

#include <QHash>
#include <QList>
#include <QSet>

namespace keskor {

class RecordingAppLauncher : public AppLauncher, public UrlOpener {
public:
    QString findProgram(const QStringList& names) const override {
        for (const QString& name : names) {
            if (installed.contains(name)) {
                return QStringLiteral("/usr/bin/") + name;
            }
        }
        return {};
    }
    QStringList desktopEntryCommand(const QStringList& ids) const override {
        for (const QString& id : ids) {
            if (desktopEntries.contains(id)) {
                return desktopEntries.value(id);
            }
        }
        return {};
    }
    bool launch(const QString& program, const QStringList& arguments) override {
        launched.append(QStringList{program} + arguments);
        return succeed;
    }
    bool openUrl(const QUrl& url) override {
        opened.append(url);
        return succeed;
    }

    QSet<QString> installed;
    /// Desktop entry id -> its command.
    QHash<QString, QStringList> desktopEntries;
    bool succeed = true;
    QList<QStringList> launched;
    QList<QUrl> opened;
};

} // namespace keskor

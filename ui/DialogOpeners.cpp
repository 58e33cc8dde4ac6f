#include "ui/DialogOpeners.h"

#include "core/AppDelegate.h"
#include "core/CloudDBManagerViewController.h"
#include "core/DatabaseInfoHelper.h"
#include "core/ItemActions.h"
#include "core/MainManager.h"
#include "core/RemoteStorageManager.h"
#include "core/SessionManager.h"
#include "core/shared/PassFile.h"
#include "enterprise/EnterpriseStorage.h"
#include "ui/Activate2FADialog.h"
#include "ui/AnalyzeDialog.h"
#include "ui/BackupManagerDialog.h"
#include "ui/CleanUpDialog.h"
#include "ui/CloudDBManagerDialog.h"
#include "ui/CreateDatabaseDialog.h"
#include "ui/EnterpriseChangePasswordDialog.h"
#include "ui/EnterpriseDBManagerDialog.h"
#include "ui/EnterpriseLoginDialog.h"
#include "ui/EntryEditorDialog.h"
#include "ui/GrantAccessDialog.h"
#include "ui/KeyGeneratorDialog.h"
#include "ui/Login2FADialog.h"
#include "ui/MainWindow.h"
#include "ui/PartialBuilderDialog.h"
#include "ui/PasswordGeneratorDialog.h"
#include "ui/PrintDialog.h"
#include "ui/QtPresenter.h"
#include "ui/ReplaceDialog.h"
#include "ui/RevokeAccessDialog.h"
#include "ui/SealedAccessDialog.h"
#include "ui/SettingsDialog.h"
#include "ui/UiContext.h"
#include "ui/WebSocketAddEntryDialog.h"
#include "ui/WebSocketPasswordUpdateDialog.h"
#include "ui/XmlExportDialog.h"

#include <QApplication>
#include <QDebug>
#include <QTimer>
#include <QVariantMap>
#include <memory>

namespace keskor {

namespace {

/// A dialog that needs nothing but the context, run modally over the window.
template <typename Dialog> QtPresenter::DialogOpener plain(UiContext& ctx, MainWindow& window) {
    return [&ctx, &window](const QVariantMap&) {
        Dialog dialog(ctx, &window);
        dialog.exec();
    };
}

/// The browser's offers open after the command that caused them has been answered, over the
/// window without blocking it, and only while a database is open and unlocked.
void openBridgeOffer(UiContext& ctx, MainWindow& window,
                     std::function<QDialog*(PassFile& file)> make) {
    QTimer::singleShot(0, &window, [&ctx, &window, make = std::move(make)] {
        PassFile* file = ctx.items.database();
        if (!file || ctx.app.mainManager().sessionManager.isLocked) {
            return;
        }
        QDialog* dialog = make(*file);
        if (!dialog) {
            return;
        }
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowModality(Qt::WindowModal);
        window.showDatabaseView();
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
    });
}

/// The enterprise location's storage; an alert when the program was built without one.
EnterpriseStorage* enterpriseStorage(UiContext& ctx) {
    auto* storage = dynamic_cast<EnterpriseStorage*>(
        ctx.app.mainManager().remoteStorageManager.storage(Location::enterprise));
    if (!storage) {
        ctx.presenter.alert(AlertStyle::informational,
                            UiText::key(QStringLiteral("status_enterprise")),
                            UiText::key(QStringLiteral("enterprise_not_available")), {});
    }
    return storage;
}

/// The follow-up dialogs of the log-in open over the dialog that asked for them.
QWidget* over(MainWindow& window) {
    QWidget* modal = QApplication::activeModalWidget();
    return modal ? modal : &window;
}

/// The entry named by "uuid" in the open enterprise database, with the storage it came from.
struct EnterpriseEntry {
    EnterpriseStorage* storage = nullptr;
    PassFile* file = nullptr;
    std::shared_ptr<Info2Item> entry;
};
EnterpriseEntry enterpriseEntry(UiContext& ctx, const QVariantMap& values, bool needsEntry) {
    PassFile* file = ctx.items.database();
    if (!file || !file->isEnterprise()) {
        return {};
    }
    std::shared_ptr<Info2Item> entry =
        file->findItem(values.value(QStringLiteral("uuid")).toString());
    if (needsEntry && !entry) {
        return {};
    }
    EnterpriseStorage* storage = enterpriseStorage(ctx);
    return storage ? EnterpriseEntry{storage, file, entry} : EnterpriseEntry{};
}

void registerEnterprise(QtPresenter& presenter, UiContext& ctx, MainWindow& window) {
    presenter.registerDialog(
        MainWindow::Dialogs::enterpriseDatabases, [&ctx, &window](const QVariantMap&) {
            EnterpriseStorage* storage = enterpriseStorage(ctx);
            if (!storage) {
                return;
            }
            EnterpriseDBManagerDialog dialog(
                ctx, *storage,
                [&ctx](const DatabaseInfo& info, IEntrySyncStorage::OpenedDatabase opened,
                       std::shared_ptr<RemoteFileInfo> file) {
                    ctx.app.databases().openDownloaded(info, std::move(opened), std::move(file));
                },
                &window);
            dialog.exec();
        });
    presenter.registerDialog(
        EnterpriseDBManagerViewController::loginDialog, [&ctx, &window](const QVariantMap& v) {
            if (EnterpriseStorage* storage = enterpriseStorage(ctx)) {
                EnterpriseLoginDialog dialog(ctx, *storage,
                                             EnterpriseLoginViewController::Method(
                                                 v.value(QStringLiteral("method")).toInt()),
                                             over(window));
                dialog.exec();
            }
        });
    presenter.registerDialog(
        EnterpriseLoginViewController::changePasswordDialog, [&ctx, &window](const QVariantMap&) {
            if (EnterpriseStorage* storage = enterpriseStorage(ctx)) {
                EnterpriseChangePasswordDialog dialog(ctx, *storage, over(window));
                dialog.exec();
            }
        });
    presenter.registerDialog(
        EnterpriseLoginViewController::activate2FADialog, [&ctx, &window](const QVariantMap& v) {
            if (EnterpriseStorage* storage = enterpriseStorage(ctx)) {
                Activate2FADialog dialog(
                    ctx, *storage, v.value(QStringLiteral("secret")).toString(),
                    v.value(QStringLiteral("qrCode")).toByteArray(), over(window));
                dialog.exec();
            }
        });
    presenter.registerDialog(
        EnterpriseLoginViewController::login2FADialog, [&ctx, &window](const QVariantMap& v) {
            if (EnterpriseStorage* storage = enterpriseStorage(ctx)) {
                Login2FADialog dialog(ctx, *storage, v.value(QStringLiteral("trust")).toBool(),
                                      v.value(QStringLiteral("description")).toString(),
                                      over(window));
                dialog.exec();
            }
        });
    presenter.registerDialog(
        MainWindow::Dialogs::grantAccess, [&ctx, &window](const QVariantMap& v) {
            const EnterpriseEntry e = enterpriseEntry(ctx, v, true);
            if (e.storage) {
                GrantAccessDialog dialog(ctx, *e.storage, *e.file, e.entry, &window);
                dialog.exec();
            }
        });
    presenter.registerDialog(MainWindow::Dialogs::revokeAccess,
                             [&ctx, &window](const QVariantMap& v) {
                                 const EnterpriseEntry e = enterpriseEntry(ctx, v, false);
                                 if (e.storage) {
                                     RevokeAccessDialog dialog(ctx, *e.storage, *e.file, &window);
                                     dialog.exec();
                                 }
                             });
    presenter.registerDialog(
        MainWindow::Dialogs::sealedAccess, [&ctx, &window](const QVariantMap& v) {
            const EnterpriseEntry e = enterpriseEntry(ctx, v, true);
            if (e.storage) {
                SealedAccessDialog dialog(ctx, *e.storage, *e.file, e.entry, &window);
                dialog.exec();
            }
        });
}

} // namespace

void DialogOpeners::registerAll(QtPresenter& presenter, UiContext& ctx, MainWindow& window) {
    // Value "location": where the new database goes (a cloud drive's file browser asks for
    // its own); opened over the browser when that is what asked.
    presenter.registerDialog(
        MainWindow::Dialogs::createDatabase, [&ctx, &window](const QVariantMap& values) {
            QWidget* modal = QApplication::activeModalWidget();
            CreateDatabaseDialog dialog(ctx, modal ? modal : &window);
            if (values.contains(QStringLiteral("location"))) {
                if (const std::optional<Location> location =
                        Locations::fromRaw(values.value(QStringLiteral("location")).toInt())) {
                    dialog.setLocation(*location);
                }
            }
            dialog.exec();
        });
    presenter.registerDialog(
        MainWindow::Dialogs::cloudDatabases, [&ctx, &window](const QVariantMap& values) {
            const std::optional<Location> location =
                Locations::fromRaw(values.value(QStringLiteral("location"), -1).toInt());
            if (!location || !Locations::isCloud(*location)) {
                qWarning() << "the cloud file browser needs a cloud location, not" << values;
                return;
            }
            IRemoteStorage* storage = ctx.app.mainManager().remoteStorageManager.storage(*location);
            if (!storage) {
                // No provider of this drive is built into the program.
                ctx.presenter.alert(AlertStyle::informational,
                                    UiText::key(CloudDBManagerViewController::titleKey(*location)),
                                    UiText::key(QStringLiteral("cloud_not_available")), {});
                return;
            }
            CloudDBManagerDialog dialog(ctx, *storage, *location, ctx.app.databases(), &window);
            dialog.exec();
        });
    registerEnterprise(presenter, ctx, window);
    presenter.registerDialog(MainWindow::Dialogs::settings, plain<SettingsDialog>(ctx, window));
    // Asked for by the browser or the menu, the generated password goes to the clipboard.
    presenter.registerDialog(MainWindow::Dialogs::generator, [&ctx, &window](const QVariantMap&) {
        PasswordGeneratorDialog dialog(ctx, {}, &window);
        dialog.exec();
    });
    presenter.registerDialog(MainWindow::Dialogs::keyGenerator,
                             [&ctx, &window](const QVariantMap&) {
                                 KeyGeneratorDialog dialog(ctx, {}, &window);
                                 dialog.exec();
                             });
    presenter.registerDialog(
        MainWindow::Dialogs::partial, [&ctx, &window](const QVariantMap& values) {
            const PassFile* file = ctx.items.database();
            const auto entry =
                file ? file->findItem(values.value(QStringLiteral("uuid")).toString()) : nullptr;
            if (entry) {
                PartialBuilderDialog dialog(ctx, entry->password().value_or(QString()), &window);
                dialog.exec();
            }
        });
    presenter.registerDialog(MainWindow::Dialogs::print, [&ctx, &window](const QVariantMap&) {
        const SessionManager& session = ctx.app.mainManager().sessionManager;
        PassFile* file = ctx.items.database();
        if (!file || !session.currentDBInfo) {
            return;
        }
        const DatabaseInfo& info = *session.currentDBInfo;
        Info2Item* folder = window.selectedFolder();
        PDFOptions options = PDFOptions::forDatabase(folder ? folder : &file->root(), info.name);
        options.selectedEntries = window.selectedEntries();
        // Several chosen entries are what the user means to print; a single one is usually just
        // where the list's cursor happens to be.
        options.isAll = options.selectedEntries.size() < 2;
        PrintDialog dialog(ctx, std::move(options), DatabaseInfoHelper::text(info), &window);
        dialog.exec();
    });
    presenter.registerDialog(MainWindow::Dialogs::cleanUp, plain<CleanUpDialog>(ctx, window));
    presenter.registerDialog(MainWindow::Dialogs::analyze, plain<AnalyzeDialog>(ctx, window));
    presenter.registerDialog(MainWindow::Dialogs::backups, plain<BackupManagerDialog>(ctx, window));
    presenter.registerDialog(MainWindow::Dialogs::replace, [&ctx, &window](const QVariantMap&) {
        ReplaceDialog dialog(
            ctx, [&window] { window.refresh(); }, &window);
        dialog.exec();
    });
    presenter.registerDialog(MainWindow::Dialogs::exportXml, [&ctx, &window](const QVariantMap&) {
        QStringList selected;
        for (const auto& entry : window.selectedEntries()) {
            if (!entry->isFolder) {
                selected.append(entry->fingerprint());
            }
        }
        XmlExportDialog dialog(ctx, selected, &window);
        dialog.exec();
    });
    const auto editor = [&ctx, &window](const QVariantMap& values) {
        PassFile* file = ctx.items.database();
        if (!file) {
            return;
        }
        std::unique_ptr<EntryEditorDialog> dialog;
        if (values.contains(QStringLiteral("newType"))) {
            Info2Item* folder = window.selectedFolder();
            if (!folder) {
                return;
            }
            dialog = std::make_unique<EntryEditorDialog>(
                ctx, values.value(QStringLiteral("newType")).toInt(), *folder, &window);
        } else {
            // The tools name the entry by "fingerprint", the window and the bridge by "uuid".
            const QString id = values.contains(QStringLiteral("uuid"))
                                   ? values.value(QStringLiteral("uuid")).toString()
                                   : values.value(QStringLiteral("fingerprint")).toString();
            std::shared_ptr<Info2Item> entry = id.isEmpty() ? nullptr : file->findItem(id);
            if (!entry) {
                return;
            }
            dialog = std::make_unique<EntryEditorDialog>(ctx, entry, &window);
        }
        dialog->setGeneratorOpener(
            [&ctx, editor = dialog.get()](std::function<bool(const QString&)> target) {
                PasswordGeneratorDialog generator(ctx, std::move(target), editor);
                generator.exec();
            });
        if (dialog->exec() == QDialog::Accepted && dialog->controller().entry()) {
            window.selectEntry(*dialog->controller().entry());
        }
    };
    presenter.registerDialog(MainWindow::Dialogs::editEntry, editor);
    presenter.registerDialog(QStringLiteral("DocumentDetailViewController"), editor);

    presenter.registerDialog(
        QStringLiteral("WebSocketAddEntryViewController"), [&ctx, &window](const QVariantMap& v) {
            const QString title = v.value(QStringLiteral("title")).toString();
            const QString url = v.value(QStringLiteral("url")).toString();
            std::optional<SocketXMLForm> form;
            if (v.contains(QStringLiteral("form"))) {
                form = v.value(QStringLiteral("form")).value<SocketXMLForm>();
            }
            openBridgeOffer(ctx, window, [&ctx, &window, title, url, form](PassFile& file) {
                return new WebSocketAddEntryDialog(ctx, file, title, url, form,
                                                   window.selectedFolder(), &window);
            });
        });
    presenter.registerDialog(
        QStringLiteral("WebSocketPasswordUpdateViewController"),
        [&ctx, &window](const QVariantMap& v) {
            const QString uuid = v.value(QStringLiteral("uuid")).toString();
            const QString password = v.value(QStringLiteral("password")).toString();
            openBridgeOffer(ctx, window, [&ctx, &window, uuid, password](PassFile& file) {
                std::shared_ptr<Info2Item> entry = file.findItem(uuid);
                return entry ? new WebSocketPasswordUpdateDialog(ctx, entry, password, &window)
                             : nullptr;
            });
        });
}

} // namespace keskor

#include "ui/DialogOpeners.h"

#include "core/ItemActions.h"
#include "core/shared/PassFile.h"
#include "ui/AnalyzeDialog.h"
#include "ui/BackupManagerDialog.h"
#include "ui/CleanUpDialog.h"
#include "ui/CreateDatabaseDialog.h"
#include "ui/EntryEditorDialog.h"
#include "ui/KeyGeneratorDialog.h"
#include "ui/MainWindow.h"
#include "ui/PartialBuilderDialog.h"
#include "ui/PasswordGeneratorDialog.h"
#include "ui/QtPresenter.h"
#include "ui/ReplaceDialog.h"
#include "ui/SettingsDialog.h"
#include "ui/UiContext.h"
#include "ui/XmlExportDialog.h"

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

} // namespace

void DialogOpeners::registerAll(QtPresenter& presenter, UiContext& ctx, MainWindow& window) {
    presenter.registerDialog(MainWindow::Dialogs::createDatabase,
                             plain<CreateDatabaseDialog>(ctx, window));
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
                selected.append(entry->fingerprint);
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
}

} // namespace keskor

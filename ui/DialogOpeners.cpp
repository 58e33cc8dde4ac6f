#include "ui/DialogOpeners.h"

#include "core/ItemActions.h"
#include "core/shared/PassFile.h"
#include "ui/EntryEditorDialog.h"
#include "ui/MainWindow.h"
#include "ui/QtPresenter.h"
#include "ui/UiContext.h"

#include <QVariantMap>
#include <memory>

namespace keskor {

void DialogOpeners::registerAll(QtPresenter& presenter, UiContext& ctx, MainWindow& window) {
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
            std::shared_ptr<Info2Item> entry =
                file->findItem(values.value(QStringLiteral("uuid")).toString());
            if (!entry) {
                return;
            }
            dialog = std::make_unique<EntryEditorDialog>(ctx, entry, &window);
        }
        if (dialog->exec() == QDialog::Accepted && dialog->controller().entry()) {
            window.selectEntry(*dialog->controller().entry());
        }
    };
    presenter.registerDialog(MainWindow::Dialogs::editEntry, editor);
    presenter.registerDialog(QStringLiteral("DocumentDetailViewController"), editor);
}

} // namespace keskor

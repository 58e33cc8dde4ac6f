#include "ui/DuplicatesDialog.h"

#include "core/ItemActions.h"
#include "core/Localizer.h"
#include "core/shared/PassFile.h"
#include "tools/DuplicateFinder.h"
#include "ui/EntryIcons.h"
#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace keskor {

DuplicatesDialog::DuplicatesDialog(UiContext& ctx, Choose choose, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("duplicatesDialog"));
    const auto t = [&](const char* key) { return ctx.localizer.text(QString::fromLatin1(key)); };
    setWindowTitle(t("menu_duplicates"));
    auto* layout = new QVBoxLayout(this);
    auto* tree = new QTreeWidget(this);
    tree->setObjectName(QStringLiteral("duplicatesTree"));
    tree->setHeaderLabels({t("column_title"), t("column_username"), t("column_url")});
    const PassFile* file = ctx.items.database();
    const auto groups =
        file ? DuplicateFinder::samePassword(file->root()) : std::vector<DuplicateFinder::Group>();
    int number = 0;
    for (const DuplicateFinder::Group& group : groups) {
        auto* top =
            new QTreeWidgetItem(tree, {t("duplicates_group").arg(++number).arg(group.size())});
        for (const auto& entry : group) {
            auto* item = new QTreeWidgetItem(top, {entry->description().left(200),
                                                   entry->userName().value_or(QString()).left(200),
                                                   entry->url().value_or(QString()).left(200)});
            item->setIcon(0, EntryIcons::of(*entry));
            item->setData(0, Qt::UserRole, entry->fingerprint());
        }
    }
    tree->expandAll();
    auto* summary = new QLabel(groups.empty() ? t("duplicates_none") : QString(), this);
    layout->addWidget(summary);
    layout->addWidget(tree, 1);
    connect(tree, &QTreeWidget::itemActivated, this,
            [this, &ctx, choose = std::move(choose)](QTreeWidgetItem* item) {
                const PassFile* f = ctx.items.database();
                const auto entry =
                    f ? f->findItem(item->data(0, Qt::UserRole).toString()) : nullptr;
                if (entry && choose) {
                    choose(*entry);
                    accept();
                }
            });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(600, 400);
}

} // namespace keskor

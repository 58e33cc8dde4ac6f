#include "ui/AdvancedSearchDialog.h"

#include "core/ItemActions.h"
#include "core/Localizer.h"
#include "core/shared/PassFile.h"
#include "tools/ReplaceSearch.h"
#include "ui/EntryIcons.h"
#include "ui/UiContext.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace keskor {

namespace {

QString pathOf(const Info2Item& entry) {
    QStringList parts;
    for (const Info2Item* f = entry.parent(); f && f->parent(); f = f->parent()) {
        parts.prepend(f->description());
    }
    return parts.join(QLatin1Char('/'));
}

} // namespace

AdvancedSearchDialog::AdvancedSearchDialog(UiContext& ctx, Choose choose, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_choose(std::move(choose)) {
    setObjectName(QStringLiteral("advancedSearchDialog"));
    const auto t = [&](const char* key) { return ctx.localizer.text(QString::fromLatin1(key)); };
    setWindowTitle(t("menu_advanced_search"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_query = new QLineEdit(this);
    m_query->setObjectName(QStringLiteral("queryField"));
    auto* findButton = new QPushButton(t("find"), this);
    findButton->setObjectName(QStringLiteral("findButton"));
    findButton->setDefault(true);
    row->addWidget(m_query, 1);
    row->addWidget(findButton);
    layout->addLayout(row);
    auto* checks = new QGridLayout;
    const auto check = [&](const char* key, bool on, int r, int c) {
        auto* box = new QCheckBox(t(key), this);
        box->setChecked(on);
        checks->addWidget(box, r, c);
        return box;
    };
    m_description = check("column_title", true, 0, 0);
    m_user = check("username", true, 0, 1);
    m_password = check("password", false, 0, 2);
    m_custom = check("tab_custom_fields", true, 1, 0);
    m_url = check("url", true, 1, 1);
    m_comments = check("comments", true, 1, 2);
    m_matchCase = check("match_case", false, 2, 0);
    layout->addLayout(checks);
    m_results = new QTreeWidget(this);
    m_results->setObjectName(QStringLiteral("resultsList"));
    m_results->setHeaderLabels(
        {t("column_title"), t("column_username"), t("column_url"), t("folder_path")});
    m_results->setRootIsDecorated(false);
    layout->addWidget(m_results, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(findButton, &QPushButton::clicked, this, &AdvancedSearchDialog::find);
    connect(m_query, &QLineEdit::returnPressed, this, &AdvancedSearchDialog::find);
    connect(m_results, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const PassFile* file = m_ctx.items.database();
        const auto entry = file ? file->findItem(item->data(0, Qt::UserRole).toString()) : nullptr;
        if (entry && m_choose) {
            m_choose(*entry);
            accept();
        }
    });
    resize(640, 420);
}

void AdvancedSearchDialog::find() {
    m_results->clear();
    const PassFile* file = m_ctx.items.database();
    if (!file || m_query->text().isEmpty()) {
        return;
    }
    ReplaceSearchOptions options;
    options.query = m_query->text();
    options.searchFolder = &file->root();
    options.matchCase = m_matchCase->isChecked();
    options.inDescription = m_description->isChecked();
    options.inUsername = m_user->isChecked();
    options.inPassword = m_password->isChecked();
    options.inCustomField = m_custom->isChecked();
    options.inURL = m_url->isChecked();
    options.inComments = m_comments->isChecked();
    for (const auto& entry : ReplaceSearch::search(file->root(), options)) {
        if (entry->isDeleted) {
            continue;
        }
        auto* item = new QTreeWidgetItem(
            m_results,
            {entry->description().left(200), entry->userName().value_or(QString()).left(200),
             entry->url().value_or(QString()).left(200), pathOf(*entry)});
        item->setIcon(0, EntryIcons::of(*entry));
        item->setData(0, Qt::UserRole, entry->fingerprint());
    }
}

} // namespace keskor

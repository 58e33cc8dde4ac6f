#include "ui/StartView.h"

#include "core/AppDelegate.h"
#include "core/DatabaseInfoHelper.h"
#include "core/Localizer.h"
#include "ui/UiContext.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace keskor {

StartView::StartView(UiContext& ctx, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_recent(new QListWidget(this)) {
    setObjectName(QStringLiteral("startView"));
    const Localizer& l = ctx.localizer;
    auto* outer = new QVBoxLayout(this);
    outer->addStretch();
    auto* column = new QVBoxLayout;
    auto* title = new QLabel(l.text(QStringLiteral("app_name")), this);
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 2);
    font.setBold(true);
    title->setFont(font);
    column->addWidget(title, 0, Qt::AlignHCenter);
    auto* create = new QPushButton(l.text(QStringLiteral("menu_new_database")), this);
    create->setObjectName(QStringLiteral("createDatabaseButton"));
    auto* open = new QPushButton(l.text(QStringLiteral("menu_open_database")), this);
    open->setObjectName(QStringLiteral("openDatabaseButton"));
    connect(create, &QPushButton::clicked, this, &StartView::createRequested);
    connect(open, &QPushButton::clicked, this, &StartView::openRequested);
    column->addWidget(create);
    column->addWidget(open);
    column->addWidget(new QLabel(l.text(QStringLiteral("menu_recent")), this));
    m_recent->setObjectName(QStringLiteral("recentList"));
    connect(m_recent, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const int row = m_recent->row(item);
        if (row >= 0 && row < m_infos.size()) {
            Q_EMIT recentChosen(m_infos[row]);
        }
    });
    column->addWidget(m_recent);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addLayout(column, 2);
    row->addStretch();
    outer->addLayout(row);
    outer->addStretch();
    refresh();
}

void StartView::refresh() {
    m_infos = m_ctx.app.mainManager().recentFilesManager.recentFiles();
    m_recent->clear();
    for (const DatabaseInfo& info : m_infos) {
        m_recent->addItem(DatabaseInfoHelper::text(info));
    }
}

} // namespace keskor

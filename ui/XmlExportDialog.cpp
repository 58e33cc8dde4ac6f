#include "ui/XmlExportDialog.h"

#include "core/AppDelegate.h"
#include "core/ItemActions.h"
#include "core/Localizer.h"
#include "core/SessionManager.h"
#include "core/shared/PassFile.h"
#include "platform/Presenter.h"
#include "tools/ReplaceViewController.h"
#include "ui/UiContext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace keskor {

XmlExportDialog::XmlExportDialog(UiContext& ctx, QStringList selectedFingerprints, QWidget* parent)
    : QDialog(parent), m_ctx(ctx),
      m_controller(ctx.presenter, ctx.protection, ctx.clock,
                   [&ctx]() -> const PassFile* { return ctx.items.database(); }),
      m_selected(std::move(selectedFingerprints)), m_folder(new QComboBox(this)),
      m_subfolders(new QCheckBox(ctx.text(QStringLiteral("export_include_subfolders")), this)),
      m_selectedOnly(new QCheckBox(ctx.text(QStringLiteral("export_selected_only")), this)),
      m_target(new QLineEdit(this)),
      m_choose(new QPushButton(ctx.text(QStringLiteral("choose_file")), this)),
      m_export(new QPushButton(ctx.text(QStringLiteral("export_button")), this)) {
    setObjectName(QStringLiteral("xmlExportDialog"));
    setWindowTitle(ctx.text(QStringLiteral("export_title")));
    m_folder->setObjectName(QStringLiteral("folderPopup"));
    m_subfolders->setObjectName(QStringLiteral("includeSubfoldersCheck"));
    m_selectedOnly->setObjectName(QStringLiteral("selectedOnlyCheck"));
    m_target->setObjectName(QStringLiteral("targetField"));
    m_choose->setObjectName(QStringLiteral("chooseButton"));
    m_export->setObjectName(QStringLiteral("exportButton"));

    if (const PassFile* file = ctx.items.database()) {
        const Info2Item* selected = ctx.selectedFolder ? ctx.selectedFolder() : nullptr;
        for (const FolderSelectMenuItem& item : ReplaceViewController::foldersOf(*file)) {
            const QString title =
                item.depth == 0 ? ctx.text(QStringLiteral("nav_database"))
                                : QString(item.depth * 2, QLatin1Char(' ')) + item.title.left(200);
            m_folder->addItem(title, item.fingerprint);
            if (item.infoItem == selected && item.depth > 0) {
                m_folder->setCurrentIndex(m_folder->count() - 1);
            }
        }
    }
    m_subfolders->setChecked(true);
    m_selectedOnly->setEnabled(!m_selected.isEmpty());

    auto* folderLabel = new QLabel(ctx.text(QStringLiteral("export_folder")), this);
    folderLabel->setBuddy(m_folder);
    auto* fileLabel = new QLabel(ctx.text(QStringLiteral("export_file")), this);
    fileLabel->setBuddy(m_target);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_target, 1);
    fileRow->addWidget(m_choose);
    auto* form = new QFormLayout;
    form->addRow(folderLabel, m_folder);
    form->addRow(QString(), m_subfolders);
    form->addRow(QString(), m_selectedOnly);
    form->addRow(fileLabel, fileRow);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_export, QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setText(ctx.text(QStringLiteral("dialog_cancel")));
    auto* warning = new QLabel(ctx.localizer.text(XmlExportController::unencryptedWarning()), this);
    warning->setObjectName(QStringLiteral("unencryptedWarning"));
    warning->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(warning);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &XmlExportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_choose, &QPushButton::clicked, this, &XmlExportDialog::chooseFile);
    connect(m_target, &QLineEdit::textChanged, this, &XmlExportDialog::updateButtons);
    setTabOrder(m_folder, m_subfolders);
    setTabOrder(m_subfolders, m_selectedOnly);
    setTabOrder(m_selectedOnly, m_target);
    setTabOrder(m_target, m_choose);
    setTabOrder(m_choose, m_export);
    setTabOrder(m_export, cancel);
    updateButtons();
    resize(520, sizeHint().height());
}

void XmlExportDialog::updateButtons() {
    m_export->setEnabled(!m_target->text().trimmed().isEmpty() && m_ctx.items.database());
}

void XmlExportDialog::chooseFile() {
    const PassFile* file = m_ctx.items.database();
    const SessionManager& session = m_ctx.app.mainManager().sessionManager;
    QString proposed = QStringLiteral("export.xml");
    if (file && session.currentDBInfo) {
        proposed =
            QFileInfo(session.currentDBInfo->name).completeBaseName() + QStringLiteral(".xml");
    }
    const auto chosen = m_ctx.presenter.chooseFileToSave(
        UiText::key(QStringLiteral("export_title")), proposed, {QStringLiteral("xml")});
    if (chosen) {
        m_target->setText(*chosen);
    }
}

void XmlExportDialog::accept() {
    const PassFile* file = m_ctx.items.database();
    const QString target = m_target->text().trimmed();
    if (!file || target.isEmpty()) {
        return;
    }
    const SessionManager& session = m_ctx.app.mainManager().sessionManager;
    const QString databasePath = session.currentDBInfo
                                     ? m_ctx.app.databases().workingCopyPath(*session.currentDBInfo)
                                     : QString();
    if (const auto refused = XmlExportController::refusal(*file, target, databasePath)) {
        m_ctx.presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")),
                              *refused, {});
        return;
    }
    XmlExportOptions options;
    const QString chosen = m_folder->currentData().toString();
    const auto folder = chosen.isEmpty() ? nullptr : file->findItem(chosen);
    options.folder = folder && folder->isFolder ? folder.get() : nullptr;
    options.includeSubfolders = m_subfolders->isChecked();
    if (m_selectedOnly->isEnabled() && m_selectedOnly->isChecked()) {
        options.selectedFingerprints = m_selected;
    }
    if (m_controller.exportToFile(target, options)) {
        QDialog::accept();
    }
}

} // namespace keskor

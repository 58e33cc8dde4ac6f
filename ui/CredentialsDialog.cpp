#include "ui/CredentialsDialog.h"

#include "core/Localizer.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace keskor {

CredentialsDialog::CredentialsDialog(const Localizer& localizer, CredentialsRequest request,
                                     QWidget* parent)
    : QDialog(parent), m_localizer(localizer), m_request(std::move(request)) {
    setObjectName(QStringLiteral("credentialsDialog"));
    const auto t = [this](const char* key) { return m_localizer.text(QString::fromLatin1(key)); };
    setWindowTitle(m_request.unlock ? t("unlock_title") : t("open_database_title"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel((m_request.unlock ? t("unlock_prompt") : t("open_prompt")) +
                                   QStringLiteral(" <b>") + m_request.databaseName.toHtmlEscaped() +
                                   QStringLiteral("</b>"),
                               this);
    heading->setTextFormat(Qt::RichText);
    layout->addWidget(heading);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    if (m_request.askPassword) {
        m_password = new QLineEdit(this);
        m_password->setObjectName(QStringLiteral("passwordField"));
        m_password->setEchoMode(QLineEdit::Password);
        QAction* reveal = m_password->addAction(QIcon::fromTheme(QStringLiteral("view-reveal")),
                                                QLineEdit::TrailingPosition);
        reveal->setCheckable(true);
        reveal->setToolTip(t("show"));
        connect(reveal, &QAction::toggled, this, [this](bool on) {
            m_password->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password);
        });
        form->addRow(t("master_password"), m_password);
    }
    if (m_request.askKeyFile) {
        auto* row = new QHBoxLayout;
        m_keyFile = new QLineEdit(this);
        m_keyFile->setObjectName(QStringLiteral("keyFileField"));
        auto* browse = new QPushButton(t("choose_file"), this);
        connect(browse, &QPushButton::clicked, this, [this] {
            const QString path = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                              QStringLiteral("*.krk;;* (*)"));
            if (!path.isEmpty()) {
                m_keyFile->setText(path);
            }
        });
        row->addWidget(m_keyFile);
        row->addWidget(browse);
        form->addRow(t("key_file"), row);
    }
    if (!m_request.hint.isEmpty()) {
        auto* hint = new QLabel(m_request.hint, this);
        hint->setObjectName(QStringLiteral("hintLabel"));
        hint->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(t("hint"), hint);
    }
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("errorLabel"));
    m_error->setStyleSheet(QStringLiteral("color: #b00020;"));
    m_error->setWordWrap(true);
    m_error->hide();
    layout->addWidget(m_error);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(t("dialog_ok"));
    buttons->button(QDialogButtonBox::Cancel)->setText(t("dialog_cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

CredentialsDialog::~CredentialsDialog() {
    // The typed password goes no further than the answer handed out.
    if (m_password) {
        m_password->clear();
    }
}

CredentialsAnswer CredentialsDialog::answer() const {
    CredentialsAnswer a;
    if (m_password) {
        a.password = m_password->text();
    }
    if (m_keyFile && !m_keyFile->text().isEmpty()) {
        a.keyFilePath = m_keyFile->text();
    }
    return a;
}

void CredentialsDialog::accept() {
    if (m_request.validate) {
        if (const std::optional<UiText> error = m_request.validate(answer())) {
            m_error->setText(m_localizer.text(*error));
            m_error->show();
            if (m_password) {
                m_password->selectAll();
                m_password->setFocus();
            }
            return;
        }
    }
    QDialog::accept();
}

} // namespace keskor

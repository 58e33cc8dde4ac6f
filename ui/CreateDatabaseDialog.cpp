#include "ui/CreateDatabaseDialog.h"

#include "core/AppDelegate.h"
#include "core/CloudDBManagerViewController.h"
#include "core/CreateFileModel.h"
#include "core/DatabaseController.h"
#include "core/Localizer.h"
#include "core/shared/CommonException.h"
#include "core/shared/KeyHelper.h"
#include "platform/Presenter.h"
#include "tools/PasswordHelper.h"
#include "ui/KeyGeneratorDialog.h"
#include "ui/PasswordGeneratorDialog.h"
#include "ui/StrengthReadoutView.h"
#include "ui/UiContext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace keskor {

namespace {

using AuthType = PassFile::AuthenticationType;

template <typename W> W* named(W* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

std::optional<QString> unlessEmpty(const QString& text) {
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

QString defaultFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

} // namespace

CreateDatabaseDialog::CreateDatabaseDialog(UiContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_pwned(ctx.presenter, ctx.pwned, ctx.text),
      m_location(named(new QComboBox(this), QStringLiteral("locationCombo"))),
      m_folder(named(new QLineEdit(defaultFolder(), this), QStringLiteral("folderField"))),
      m_name(named(new QLineEdit(this), QStringLiteral("nameField"))),
      m_format(named(new QComboBox(this), QStringLiteral("formatCombo"))),
      m_authentication(named(new QComboBox(this), QStringLiteral("authenticationCombo"))),
      m_password(named(new QLineEdit(this), QStringLiteral("passwordField"))),
      m_confirmation(named(new QLineEdit(this), QStringLiteral("confirmationField"))),
      m_showPassword(named(new QCheckBox(ctx.text(QStringLiteral("create_db_show_password")), this),
                           QStringLiteral("showPasswordCheck"))),
      m_generate(named(new QPushButton(ctx.text(QStringLiteral("create_db_generate")), this),
                       QStringLiteral("generatorButton"))),
      m_check(named(new QPushButton(ctx.text(QStringLiteral("create_db_check")), this),
                    QStringLiteral("checkPwnedButton"))),
      m_strength(new StrengthReadoutView(this)),
      m_hint(named(new QLineEdit(this), QStringLiteral("hintField"))),
      m_description(named(new QLineEdit(this), QStringLiteral("descriptionField"))),
      m_keyFile(named(new QLineEdit(this), QStringLiteral("keyFileField"))),
      m_chooseKey(named(new QPushButton(ctx.text(QStringLiteral("create_db_key_choose")), this),
                        QStringLiteral("chooseKeyFileButton"))),
      m_newKey(named(new QPushButton(ctx.text(QStringLiteral("create_db_key_generate")), this),
                     QStringLiteral("generateKeyFileButton"))),
      m_advanced(named(new QCheckBox(ctx.text(QStringLiteral("create_db_advanced")), this),
                       QStringLiteral("advancedEncryptionCheck"))),
      m_kdf(named(new QLabel(this), QStringLiteral("kdfLabel"))) {
    setObjectName(QStringLiteral("createDatabaseDialog"));
    setWindowTitle(ctx.text(QStringLiteral("create_db_title")));
    setMinimumWidth(520);
    // Only the local disk for now; the other locations join once their storage is set up.
    m_location->addItem(ctx.text(QStringLiteral("create_db_location_local")),
                        static_cast<int>(Location::localDevice));
    m_format->addItem(ctx.text(QStringLiteral("create_db_format_archive")),
                      static_cast<int>(PassFile::FileType::Zip));
    m_format->addItem(ctx.text(QStringLiteral("create_db_format_plain")),
                      static_cast<int>(PassFile::FileType::Plain));
    m_authentication->addItem(ctx.text(QStringLiteral("create_db_auth_password")),
                              static_cast<int>(AuthType::Password));
    m_authentication->addItem(ctx.text(QStringLiteral("create_db_auth_key")),
                              static_cast<int>(AuthType::KeyFile));
    m_authentication->addItem(ctx.text(QStringLiteral("create_db_auth_both")),
                              static_cast<int>(AuthType::PasswordAndKeyFile));
    m_password->setEchoMode(QLineEdit::Password);
    m_confirmation->setEchoMode(QLineEdit::Password);
    m_keyFile->setReadOnly(true);
    m_kdf->setEnabled(false); // read-only information, drawn subdued
    for (QPushButton* b : {m_generate, m_check, m_chooseKey, m_newKey}) {
        b->setAutoDefault(false);
    }
    auto* chooseFolder = named(new QPushButton(ctx.text(QStringLiteral("create_db_choose")), this),
                               QStringLiteral("chooseFolderButton"));
    chooseFolder->setAutoDefault(false);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(chooseFolder);

    auto* form = new QFormLayout;
    form->addRow(ctx.text(QStringLiteral("create_db_location")), m_location);
    form->addRow(ctx.text(QStringLiteral("create_db_folder")), folderRow);
    form->addRow(ctx.text(QStringLiteral("create_db_name")), m_name);
    form->addRow(ctx.text(QStringLiteral("create_db_format")), m_format);
    form->addRow(ctx.text(QStringLiteral("create_db_auth")), m_authentication);
    form->addRow(ctx.text(QStringLiteral("create_db_password")), buildPasswordRows());
    form->addRow(ctx.text(QStringLiteral("create_db_confirm")), m_confirmation);
    auto* passwordTools = new QHBoxLayout;
    passwordTools->addWidget(m_generate);
    passwordTools->addWidget(m_check);
    passwordTools->addStretch();
    form->addRow(QString(), passwordTools);
    form->addRow(QString(), m_strength);
    form->addRow(ctx.text(QStringLiteral("create_db_hint")), m_hint);
    form->addRow(ctx.text(QStringLiteral("create_db_description")), m_description);
    form->addRow(ctx.text(QStringLiteral("create_db_key_file")), buildKeyFileRow());
    form->addRow(QString(), m_advanced);
    form->addRow(QString(), m_kdf);
    // The labels' mnemonics move the focus to their fields.
    for (int row = 0; row < form->rowCount(); ++row) {
        auto* label =
            qobject_cast<QLabel*>(form->itemAt(row, QFormLayout::LabelRole)
                                      ? form->itemAt(row, QFormLayout::LabelRole)->widget()
                                      : nullptr);
        QLayoutItem* field = form->itemAt(row, QFormLayout::FieldRole);
        if (label && field) {
            QWidget* buddy = field->widget();
            if (!buddy && field->layout() && field->layout()->count() > 0) {
                buddy = field->layout()->itemAt(0)->widget();
            }
            label->setBuddy(buddy);
        }
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Ok)->setText(ctx.text(QStringLiteral("dialog_ok")));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(ctx.text(QStringLiteral("dialog_cancel")));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(chooseFolder, &QPushButton::clicked, this, &CreateDatabaseDialog::chooseFolder);
    connect(m_authentication, &QComboBox::currentIndexChanged, this,
            &CreateDatabaseDialog::updateAuthentication);
    connect(m_password, &QLineEdit::textChanged, this, &CreateDatabaseDialog::updateStrength);
    connect(m_showPassword, &QCheckBox::toggled, this, [this](bool on) {
        const auto mode = on ? QLineEdit::Normal : QLineEdit::Password;
        m_password->setEchoMode(mode);
        m_confirmation->setEchoMode(mode);
    });
    connect(m_generate, &QPushButton::clicked, this, &CreateDatabaseDialog::openPasswordGenerator);
    connect(m_check, &QPushButton::clicked, this,
            [this] { m_pwned.onCheckPwned(m_password->isEnabled(), m_password->text()); });
    connect(m_chooseKey, &QPushButton::clicked, this, &CreateDatabaseDialog::chooseKeyFile);
    connect(m_newKey, &QPushButton::clicked, this, &CreateDatabaseDialog::generateKeyFile);
    connect(m_advanced, &QCheckBox::toggled, this, &CreateDatabaseDialog::updateKdfLine);

    const QList<QWidget*> order{m_location,     m_folder,         chooseFolder, m_name,
                                m_format,       m_authentication, m_password,   m_showPassword,
                                m_confirmation, m_generate,       m_check,      m_hint,
                                m_description,  m_chooseKey,      m_newKey,     m_advanced};
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(order.at(i - 1), order.at(i));
    }
    m_name->setFocus();
    updateAuthentication();
    updateStrength();
    updateKdfLine();
}

QWidget* CreateDatabaseDialog::buildPasswordRows() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_password, 1);
    layout->addWidget(m_showPassword);
    return row;
}

QWidget* CreateDatabaseDialog::buildKeyFileRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_keyFile, 1);
    layout->addWidget(m_chooseKey);
    layout->addWidget(m_newKey);
    return row;
}

bool CreateDatabaseDialog::usesPassword() const {
    return m_authentication->currentData().toInt() != static_cast<int>(AuthType::KeyFile);
}

bool CreateDatabaseDialog::usesKeyFile() const {
    return m_authentication->currentData().toInt() != static_cast<int>(AuthType::Password);
}

void CreateDatabaseDialog::updateAuthentication() {
    const bool password = usesPassword();
    for (QWidget* w : std::initializer_list<QWidget*>{m_password, m_confirmation, m_showPassword,
                                                      m_generate, m_check, m_strength}) {
        w->setEnabled(password);
    }
    const bool key = usesKeyFile();
    for (QWidget* w : std::initializer_list<QWidget*>{m_keyFile, m_chooseKey, m_newKey}) {
        w->setEnabled(key);
    }
}

void CreateDatabaseDialog::updateStrength() {
    m_strength->display(PasswordHelper::strengthReadout(m_password->text(), m_ctx.text));
}

void CreateDatabaseDialog::updateKdfLine() {
    DatabaseController& databases = m_ctx.app.databases();
    try {
        m_kdfCost = databases.newDatabaseKdf(m_advanced->isChecked());
        m_kdf->setText(databases.kdfDescription(*m_kdfCost));
    } catch (const CommonException& e) {
        // Creating measures again and reports the failure where it can be acted on.
        m_kdfCost.reset();
        m_kdf->setText(e.message());
    }
}

void CreateDatabaseDialog::chooseFolder() {
    // The save chooser picks the folder and, when the user types one, the name too.
    QString proposed = m_name->text();
    if (!proposed.isEmpty()) {
        proposed = QDir(m_folder->text()).filePath(proposed);
    }
    const std::optional<QString> chosen = m_ctx.presenter.chooseFileToSave(
        UiText::key(QStringLiteral("create_db_choose_folder_title")), proposed,
        {QStringLiteral("pswe"), QStringLiteral("pswd")});
    if (!chosen) {
        return;
    }
    const QFileInfo file(*chosen);
    m_folder->setText(QDir::toNativeSeparators(file.absolutePath()));
    if (!file.fileName().isEmpty()) {
        m_name->setText(file.fileName());
    }
}

void CreateDatabaseDialog::chooseKeyFile() {
    const std::optional<QString> path = m_ctx.presenter.chooseFileToOpen(
        UiText::key(QStringLiteral("create_db_choose_key_title")), {QStringLiteral("krk")});
    if (!path) {
        return;
    }
    try {
        setKeyFile(KeyHelper::readExternalKey(*path), *path);
    } catch (const CommonException& e) {
        m_ctx.presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_error")),
                              UiText::plain(e.message()), {});
    }
}

void CreateDatabaseDialog::generateKeyFile() {
    QPointer<CreateDatabaseDialog> self(this);
    KeyGeneratorDialog dialog(
        m_ctx,
        [self](const Key256& key, const QString& path) {
            if (self) {
                self->setKeyFile(key, path);
            }
        },
        this);
    dialog.exec();
}

void CreateDatabaseDialog::setKeyFile(const Key256& key, const QString& path) {
    m_key = key;
    m_keyFile->setText(QDir::toNativeSeparators(path));
}

void CreateDatabaseDialog::openPasswordGenerator() {
    QPointer<CreateDatabaseDialog> self(this);
    PasswordGeneratorDialog dialog(
        m_ctx,
        [self](const QString& password) {
            if (!self) {
                return false;
            }
            self->m_password->setText(password);
            self->m_confirmation->setText(password);
            // A generated password is of no use unless the user can note it down.
            self->m_showPassword->setChecked(true);
            return true;
        },
        this);
    dialog.exec();
}

void CreateDatabaseDialog::setLocation(Location location) {
    int index = m_location->findData(Locations::raw(location));
    if (index < 0) {
        const QString nameKey = CloudDBManagerViewController::titleKey(location);
        if (nameKey.isEmpty()) {
            return; // only the local disk and the cloud drives are offered here
        }
        m_location->addItem(m_ctx.text(nameKey), Locations::raw(location));
        index = m_location->count() - 1;
    }
    m_location->setCurrentIndex(index);
    const bool local = location == Location::localDevice;
    m_folder->setEnabled(local);
    if (auto* choose = findChild<QPushButton*>(QStringLiteral("chooseFolderButton"))) {
        choose->setEnabled(local);
    }
}

void CreateDatabaseDialog::accept() {
    const bool password = usesPassword();
    const bool key = usesKeyFile();
    CreateDatabaseValidator::Input input;
    input.name = m_name->text().trimmed();
    input.usePassword = password;
    input.password = password ? m_password->text() : QString();
    input.confirmation = password ? m_confirmation->text() : QString();
    input.hint = m_hint->text();
    input.description = m_description->text();
    input.useKeyFile = key;
    input.hasKeyFile = m_key.has_value();

    CreateFileModel model;
    model.location = static_cast<Location>(m_location->currentData().toInt());
    model.fileType = static_cast<PassFile::FileType>(m_format->currentData().toInt());
    model.name = input.name;
    model.path = QDir::fromNativeSeparators(m_folder->text().trimmed());
    model.hint = unlessEmpty(input.hint);
    model.description = unlessEmpty(input.description);
    model.credentials = FileCredentials(
        password ? std::optional<QString>(input.password) : std::nullopt,
        key ? m_key : std::nullopt, static_cast<AuthType>(m_authentication->currentData().toInt()));
    model.isAdvanceEncryption = m_advanced->isChecked();
    if (m_kdfCost) {
        model.kdfMemoryAndPasses = {m_kdfCost->memoryBytes, m_kdfCost->passes};
    }
    if (m_ctx.app.databases().createDatabase(input, std::move(model))) {
        QDialog::accept();
    }
}

} // namespace keskor

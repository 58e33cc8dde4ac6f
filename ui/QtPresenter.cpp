#include "ui/QtPresenter.h"

#include "core/Localizer.h"
#include "ui/BusyOverlay.h"
#include "ui/CredentialsDialog.h"

#include <QApplication>
#include <QDebug>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace keskor {

QtPresenter::QtPresenter(const Localizer& localizer) : m_localizer(localizer) {}

QtPresenter::~QtPresenter() {
    delete m_busy;
}

void QtPresenter::registerDialog(const QString& dialogId, DialogOpener opener) {
    m_dialogs.insert(dialogId, std::move(opener));
}

QWidget* QtPresenter::parent() const {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return m_window.widget ? m_window.widget() : nullptr;
}

int QtPresenter::alert(AlertStyle style, const UiText& message, const UiText& informative,
                       const QList<UiText>& buttons) {
    QMessageBox box(parent());
    box.setIcon(style == AlertStyle::critical  ? QMessageBox::Critical
                : style == AlertStyle::warning ? QMessageBox::Warning
                                               : QMessageBox::Information);
    box.setWindowTitle(m_localizer.text(QStringLiteral("app_name")));
    box.setText(m_localizer.text(message));
    box.setInformativeText(m_localizer.text(informative));
    const QList<UiText> shown =
        buttons.isEmpty() ? QList<UiText>{UiText::key(QStringLiteral("dialog_ok"))} : buttons;
    QList<QAbstractButton*> added;
    for (const UiText& button : shown) {
        added.append(box.addButton(m_localizer.text(button), QMessageBox::AcceptRole));
    }
    box.setDefaultButton(qobject_cast<QPushButton*>(added.front()));
    // Esc picks the last button: the cancel of our alerts.
    box.setEscapeButton(added.back());
    box.exec();
    const qsizetype chosen = added.indexOf(box.clickedButton());
    return chosen < 0 ? int(added.size()) - 1 : int(chosen);
}

std::optional<QString> QtPresenter::alertWithTextField(AlertStyle, const UiText& message,
                                                       const UiText& informative,
                                                       const QList<UiText>& buttons) {
    hideBusy();
    QInputDialog dialog(parent());
    dialog.setObjectName(QStringLiteral("textFieldAlert"));
    dialog.setWindowTitle(m_localizer.text(QStringLiteral("app_name")));
    QString label = m_localizer.text(message);
    if (!informative.isEmpty()) {
        label += QStringLiteral("\n\n") + m_localizer.text(informative);
    }
    dialog.setLabelText(label);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(QString());
    // The first button accepts the text, the last one cancels.
    dialog.setOkButtonText(m_localizer.text(
        buttons.isEmpty() ? UiText::key(QStringLiteral("dialog_ok")) : buttons.front()));
    dialog.setCancelButtonText(m_localizer.text(
        buttons.size() < 2 ? UiText::key(QStringLiteral("dialog_cancel")) : buttons.back()));
    if (auto* field = dialog.findChild<QLineEdit*>()) {
        field->setObjectName(QStringLiteral("textFieldAlertField"));
        field->setMinimumSize(300, 24);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue();
}

std::optional<CredentialsAnswer> QtPresenter::askCredentials(const CredentialsRequest& request) {
    hideBusy();
    CredentialsDialog dialog(m_localizer, request, parent());
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.answer();
}

QString QtPresenter::nameFilter(const QStringList& extensions) {
    QStringList filters;
    if (!extensions.isEmpty()) {
        QStringList patterns;
        for (const QString& extension : extensions) {
            patterns.append(QStringLiteral("*.") + extension);
        }
        filters.append(QStringLiteral("%1 (%2)").arg(extensions.join(QStringLiteral(", ")),
                                                     patterns.join(QLatin1Char(' '))));
    }
    filters.append(QStringLiteral("* (*)"));
    return filters.join(QStringLiteral(";;"));
}

std::optional<QString> QtPresenter::chooseFileToOpen(const UiText& title,
                                                     const QStringList& extensions) {
    const QString path = QFileDialog::getOpenFileName(parent(), m_localizer.text(title), QString(),
                                                      nameFilter(extensions));
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

std::optional<QString> QtPresenter::chooseFileToSave(const UiText& title,
                                                     const QString& proposedName,
                                                     const QStringList& extensions) {
    QFileDialog dialog(parent(), m_localizer.text(title), proposedName, nameFilter(extensions));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFilter(dialog.filter() | QDir::Hidden);
    if (!extensions.isEmpty()) {
        dialog.setDefaultSuffix(extensions.front());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

void QtPresenter::showBusy(const UiText& text) {
    QWidget* window = m_window.widget ? m_window.widget() : nullptr;
    if (!window) {
        return;
    }
    if (!m_busy) {
        m_busy = new BusyOverlay(window);
    }
    m_busy->showText(m_localizer.text(text));
}

void QtPresenter::hideBusy() {
    if (m_busy) {
        m_busy->hide();
    }
}

void QtPresenter::bringToFront() {
    if (QWidget* window = m_window.widget ? m_window.widget() : nullptr) {
        window->show();
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->raise();
        window->activateWindow();
    }
}

void QtPresenter::openDialog(const QString& dialogId, const QVariantMap& values) {
    const auto opener = m_dialogs.constFind(dialogId);
    if (opener == m_dialogs.cend()) {
        qWarning().noquote() << "no dialog is registered as" << dialogId;
        return;
    }
    (*opener)(values);
}

void QtPresenter::showMainWindow() {
    if (m_window.showDatabaseView) {
        m_window.showDatabaseView();
    }
    bringToFront();
}

void QtPresenter::showStartView() {
    if (m_window.showStartView) {
        m_window.showStartView();
    }
    bringToFront();
}

void QtPresenter::hideWindows() {
    hideBusy();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        widget->hide();
    }
}

} // namespace keskor

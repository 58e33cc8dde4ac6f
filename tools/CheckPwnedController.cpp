#include "tools/CheckPwnedController.h"

namespace keskor {

CheckPwnedController::CheckPwnedController(Presenter& presenter, PwnedPasswordsClient& client,
                                           TextLookup text)
    : m_presenter(presenter), m_client(client), m_text(std::move(text)),
      m_self(std::make_shared<CheckPwnedController*>(this)) {}

CheckPwnedController::~CheckPwnedController() {
    // A dialog closed mid-check must not leave the overlay behind.
    if (m_checking) {
        m_presenter.hideBusy();
    }
}

void CheckPwnedController::onCheckPwned(bool fieldEnabled, const QString& masterPassword) {
    if (m_checking) {
        return; // the overlay is modal; a second press cannot start a second check
    }
    if (fieldEnabled && masterPassword.isEmpty()) {
        m_presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_warning")),
                          UiText::key(QStringLiteral("error_input_master_password")), {});
        return;
    }
    m_checking = true;
    m_presenter.showBusy(UiText::key(QStringLiteral("pwned_checking")));
    const std::weak_ptr<CheckPwnedController*> self = m_self;
    m_client.checkPassword(
        masterPassword,
        [self](qint64 count) {
            if (const auto alive = self.lock()) {
                (*alive)->onResult(count);
            }
        },
        [self](const UiText& message) {
            if (const auto alive = self.lock()) {
                (*alive)->onFailure(message);
            }
        });
}

void CheckPwnedController::onResult(qint64 count) {
    m_checking = false;
    m_presenter.hideBusy();
    if (count > 0) {
        const QString text = m_text(QStringLiteral("pwned_appear_pre")) + u' ' +
                             QString::number(count) + u' ' +
                             m_text(QStringLiteral("pwned_appear_suf"));
        m_presenter.alert(AlertStyle::informational, UiText::key(QStringLiteral("dialog_warning")),
                          UiText::plain(text), {});
    } else {
        m_presenter.alert(AlertStyle::informational, UiText::key(QStringLiteral("dialog_congrats")),
                          UiText::key(QStringLiteral("pwned_not_found")), {});
    }
}

void CheckPwnedController::onFailure(const UiText& message) {
    m_checking = false;
    m_presenter.hideBusy();
    m_presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")), message,
                      {});
}

} // namespace keskor

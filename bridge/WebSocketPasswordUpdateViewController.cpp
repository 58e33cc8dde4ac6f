#include "bridge/WebSocketPasswordUpdateViewController.h"

#include "core/shared/CommonException.h"
#include "platform/UiText.h"

namespace keskor {

WebSocketPasswordUpdateViewController::WebSocketPasswordUpdateViewController(Presenter& presenter,
                                                                             Clock& clock,
                                                                             Hooks hooks)
    : m_presenter(presenter), m_clock(clock), m_hooks(std::move(hooks)) {}

WebSocketPasswordUpdateViewController::~WebSocketPasswordUpdateViewController() {
    m_clock.cancel(m_idleTimer);
}

void WebSocketPasswordUpdateViewController::configure(std::shared_ptr<Info2Item> entry,
                                                      const QString& password) {
    owner = std::move(entry);
    newPassword = password;
    passField = password;
    confirmField = password;
    if (owner) {
        iconImageView = owner->icon;
        descriptionLabel = owner->description();
        usernameLabel = owner->userName().value_or(QString()) + QStringLiteral(" (") +
                        owner->url().value_or(QString()) + u')';
    }
}

void WebSocketPasswordUpdateViewController::viewDidLoad() {
    m_clock.cancel(m_idleTimer);
    m_idleTimer = m_clock.singleShot(kIdleCloseMs, [this] {
        m_idleTimer = 0;
        idleTimerAction();
    });
}

void WebSocketPasswordUpdateViewController::onUpdate() {
    if (m_closed) {
        return;
    }
    if (passField != confirmField) {
        m_presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_warning")),
                          UiText::key(QStringLiteral("error_password_mismatch")), {});
        return;
    }
    if (owner) {
        owner->setPassword(newPassword);
        if (m_hooks.save) {
            try {
                m_hooks.save();
            } catch (const CommonException&) {
                // The change stays in the open database; the next save writes it.
            }
        }
        if (m_hooks.refresh) {
            m_hooks.refresh(*owner);
        }
    }
    close();
}

void WebSocketPasswordUpdateViewController::onCancel() {
    if (!m_closed) {
        close();
    }
}

void WebSocketPasswordUpdateViewController::idleTimerAction() {
    onCancel();
}

void WebSocketPasswordUpdateViewController::close() {
    m_closed = true;
    m_clock.cancel(std::exchange(m_idleTimer, 0));
    if (m_hooks.close) {
        m_hooks.close();
    }
}

} // namespace keskor

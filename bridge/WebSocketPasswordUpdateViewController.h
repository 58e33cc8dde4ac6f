#pragma once
// The logic of the dialog that offers to store a password changed in the browser in the entry
// it belongs to: both password fields start with the new password and must agree for Update;
// Cancel, or a minute without an answer, leaves the entry as it was.

#include "core/shared/IconItem.h"
#include "core/shared/Info2Item.h"
#include "platform/Clock.h"
#include "platform/Presenter.h"

#include <QString>
#include <functional>
#include <memory>

namespace keskor {

class WebSocketPasswordUpdateViewController {
public:
    static constexpr qint64 kIdleCloseMs = 60'000;

    struct Hooks {
        /// The session save; its failure is not reported here.
        std::function<void()> save;
        /// Refreshes the main view on the entry; empty when there is no main view.
        std::function<void(const Info2Item& entry)> refresh;
        /// Closes the window; called once.
        std::function<void()> close;
    };

    WebSocketPasswordUpdateViewController(Presenter& presenter, Clock& clock, Hooks hooks);
    ~WebSocketPasswordUpdateViewController();
    WebSocketPasswordUpdateViewController(const WebSocketPasswordUpdateViewController&) = delete;
    WebSocketPasswordUpdateViewController&
    operator=(const WebSocketPasswordUpdateViewController&) = delete;

    /// Shows the entry and puts the new password into both password fields.
    void configure(std::shared_ptr<Info2Item> entry, const QString& password);
    /// Starts the one-minute auto-close.
    void viewDidLoad();

    void onUpdate();
    void onCancel();
    void idleTimerAction();

    bool isClosed() const noexcept { return m_closed; }

    IconItem iconImageView;
    QString descriptionLabel;
    /// "user (url)".
    QString usernameLabel;
    QString passField;
    QString confirmField;
    /// The password the browser sent: what Update stores.
    QString newPassword;
    std::shared_ptr<Info2Item> owner;

private:
    void close();

    Presenter& m_presenter;
    Clock& m_clock;
    Hooks m_hooks;
    Clock::TimerId m_idleTimer = 0;
    bool m_closed = false;
};

} // namespace keskor

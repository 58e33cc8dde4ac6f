#pragma once
// The "check" action of the dialogs that set a master password (create database, change
// authentication): asks the breached-password service about the entered password behind the
// busy overlay and reports the outcome in an alert. Advisory only: it never blocks the dialog.

#include "platform/Presenter.h"
#include "tools/PwnedPasswordsClient.h"
#include "tools/TextLookup.h"

#include <memory>

namespace keskor {

class CheckPwnedController {
public:
    CheckPwnedController(Presenter& presenter, PwnedPasswordsClient& client, TextLookup text);
    /// An answer arriving after destruction is dropped; a shown overlay is hidden.
    ~CheckPwnedController();
    CheckPwnedController(const CheckPwnedController&) = delete;
    CheckPwnedController& operator=(const CheckPwnedController&) = delete;

    /// `fieldEnabled` and `masterPassword`: the state of the master-password field.
    void onCheckPwned(bool fieldEnabled, const QString& masterPassword);

    bool isChecking() const noexcept { return m_checking; }

private:
    void onResult(qint64 count);
    void onFailure(const UiText& message);

    Presenter& m_presenter;
    PwnedPasswordsClient& m_client;
    TextLookup m_text;
    bool m_checking = false;
    std::shared_ptr<CheckPwnedController*> m_self;
};

} // namespace keskor

#pragma once
// The dialog that sets the bridge password or changes it. Changing needs the current password;
// the new one must be typed twice alike. A failed check keeps the dialog open.

#include <QString>

namespace keskor {

class AddonPasswordSettingsController;
class Presenter;

class WebSocketPasswordViewController {
public:
    /// The current-password field is enabled exactly when a password is stored.
    WebSocketPasswordViewController(AddonPasswordSettingsController& delegate,
                                    Presenter& presenter);

    /// True when the dialog closed (the password was stored).
    bool onOk();
    void onCancel();

    bool currentPassEnabled = false;
    QString currentPassField;
    QString newPassField;
    QString confirmPassField;

private:
    void refuse(const QString& informativeKey);

    AddonPasswordSettingsController& m_delegate;
    Presenter& m_presenter;
};

} // namespace keskor

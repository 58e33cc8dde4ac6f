#pragma once
// The dialog that removes the bridge password: only the stored password itself removes it.

#include <QString>

namespace keskor {

class AddonPasswordSettingsController;
class Presenter;

class WebSocketPasswordRemoveViewController {
public:
    WebSocketPasswordRemoveViewController(AddonPasswordSettingsController& delegate,
                                          Presenter& presenter);

    /// True when the dialog closed (the password was removed).
    bool onOk();
    void onCancel();

    QString currentPassField;

private:
    AddonPasswordSettingsController& m_delegate;
    Presenter& m_presenter;
};

} // namespace keskor

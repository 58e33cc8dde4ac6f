#pragma once
// The logic of the small floating window shown while auto-complete waits for the user's click
// in another program: on appearing it hides the main window and arms the helper; closing it
// (Cancel, or the run having finished) disarms the helper and brings the main window back.
// Without X11 (a Wayland session) there is no helper: the user is told and the popup closes.
// The widget forwards its show, close and Cancel to the methods below.

#include "core/shared/Info2Item.h"

#include <functional>

namespace keskor {

class AutoCompleteHelper;
class Presenter;

class AutoCompletePopupViewController {
public:
    struct Hooks {
        /// Hides or shows the main window again.
        std::function<void(bool visible)> setMainWindowVisible;
        /// Closes the popup's window; it then calls viewWillDisappear.
        std::function<void()> close;
    };

    /// `helper` is null when auto-complete is not available in this session.
    AutoCompletePopupViewController(AutoCompleteHelper* helper, Presenter& presenter,
                                    Info2Item infoItem, Hooks hooks);

    void viewDidLoad();
    void viewDidAppear();
    void viewWillDisappear();
    void onCancel();

    const Info2Item& infoItem() const { return m_infoItem; }

private:
    AutoCompleteHelper* m_helper;
    Presenter& m_presenter;
    Info2Item m_infoItem;
    Hooks m_hooks;
    bool m_hidMainWindow = false;
};

} // namespace keskor

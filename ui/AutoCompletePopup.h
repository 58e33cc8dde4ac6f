#pragma once
// The floating note shown while auto-complete waits for the click in another program: the
// entry's name, what to do, and Cancel. It stays above other windows and never takes the
// focus, so the program the user clicks keeps it. Deletes itself when closed.

#include "bridge/AutoCompletePopupViewController.h"

#include <QWidget>

namespace keskor {

struct UiContext;

class AutoCompletePopup : public QWidget {
    Q_OBJECT
public:
    AutoCompletePopup(UiContext& ctx, AutoCompleteHelper* helper, const Info2Item& entry,
                      std::function<void(bool visible)> setMainWindowVisible);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    AutoCompletePopupViewController m_controller;
    bool m_appeared = false;
    bool m_disappeared = false;
};

} // namespace keskor

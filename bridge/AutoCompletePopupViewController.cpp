#include "bridge/AutoCompletePopupViewController.h"

#include "bridge/AutoCompleteHelper.h"
#include "platform/Presenter.h"

namespace keskor {

AutoCompletePopupViewController::AutoCompletePopupViewController(AutoCompleteHelper* helper,
                                                                 Presenter& presenter,
                                                                 Info2Item infoItem, Hooks hooks)
    : m_helper(helper), m_presenter(presenter), m_infoItem(std::move(infoItem)),
      m_hooks(std::move(hooks)) {}

void AutoCompletePopupViewController::viewDidLoad() {}

void AutoCompletePopupViewController::viewDidAppear() {
    if (!m_helper) {
        m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_warning")),
                          UiText::key(QStringLiteral("autocomplete_needs_x11")), {});
        m_hooks.close();
        return;
    }
    m_hooks.setMainWindowVisible(false);
    m_hidMainWindow = true;
    m_helper->start(m_infoItem, [close = m_hooks.close] { close(); });
}

void AutoCompletePopupViewController::viewWillDisappear() {
    if (m_helper) {
        m_helper->hasToRunAutoComplete = false;
    }
    if (m_hidMainWindow) {
        m_hidMainWindow = false;
        m_hooks.setMainWindowVisible(true);
    }
}

void AutoCompletePopupViewController::onCancel() {
    m_hooks.close();
}

} // namespace keskor

#include "bridge/AutoCompleteShortcutController.h"

#include "bridge/AutoCompleteHelper.h"
#include "core/SettingManager.h"
#include "platform/GlobalShortcut.h"

#include <QDebug>
#include <QKeySequence>

namespace keskor {

AutoCompleteShortcutController::AutoCompleteShortcutController(AutoCompleteHelper& helper,
                                                               GlobalShortcut& shortcut,
                                                               const SettingManager& settings,
                                                               Hooks hooks)
    : m_helper(helper), m_shortcut(shortcut), m_settings(settings), m_hooks(std::move(hooks)) {}

bool AutoCompleteShortcutController::apply() {
    const QString text = m_settings.autoCompleteShortcut();
    const QKeySequence sequence = QKeySequence::fromString(text, QKeySequence::PortableText);
    if (!text.isEmpty() && sequence.isEmpty()) {
        qWarning() << "auto-complete: not a shortcut:" << text;
        m_shortcut.setShortcut({}, {});
        return false;
    }
    if (!m_shortcut.setShortcut(sequence, [this] { triggered(); })) {
        qWarning() << "auto-complete: cannot take the shortcut" << text;
        return false;
    }
    return true;
}

void AutoCompleteShortcutController::triggered() {
    const std::shared_ptr<Info2Item> entry = m_hooks.selectedEntry();
    if (!entry || entry->isFolder || m_helper.isRunning()) {
        return;
    }
    // runNow refuses when our own window is the active one: then the popup waits for a click.
    if (!m_helper.runNow(*entry, {})) {
        m_hooks.openPopup(*entry);
    }
}

} // namespace keskor

#pragma once
// The generator dialog around its two tabs: OK takes the password of the tab shown and hands
// it to the target (the password field of an editor), unless the target is gone meanwhile.

#include "tools/PassGenAdvancedTabController.h"
#include "tools/PassGenStandardTabController.h"

#include <functional>

namespace keskor {

class PasswordGeneratorViewController {
public:
    enum class Tab : int { Standard = 0, Advanced = 1 };
    /// Writes the password into the target's value field and its plain twin and runs the
    /// target's change handling; false when the target no longer exists.
    using Target = std::function<bool(const QString& password)>;
    using CopyCallback = std::function<void(const QString& password)>;

    PasswordGeneratorViewController(Presenter& presenter, TextLookup text, RandomSource& random,
                                    Target target, CopyCallback copy, bool largeLayout = false);

    PassGenStandardTabController& standardTab() noexcept { return m_standard; }
    PassGenAdvancedTabController& advancedTab() noexcept { return m_advanced; }

    void selectTab(Tab tab) noexcept { m_tab = tab; }
    Tab currentTab() const noexcept { return m_tab; }

    void onOk();
    void onCancel() { m_closed = true; }
    bool isClosed() const noexcept { return m_closed; }

private:
    PassGenStandardTabController m_standard;
    PassGenAdvancedTabController m_advanced;
    Target m_target;
    Tab m_tab = Tab::Standard;
    bool m_closed = false;
};

} // namespace keskor

#include "core/StatusManager.h"

#include "platform/NotificationCenter.h"
#include "platform/NotificationNames.h"

namespace keskor {

StatusManager::StatusManager(NotificationCenter& center) : m_center(center) {}

void StatusManager::updateStatus(StatusBarItem item, const QString& label, bool showLoading) {
    m_center.post(NotificationNames::SetStatusBar,
                  {{NotificationNames::StatusBarItemKey, static_cast<int>(item)},
                   {NotificationNames::LabelKey, label},
                   {NotificationNames::ShowLoadingKey, showLoading}});
}

} // namespace keskor

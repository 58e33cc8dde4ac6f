#include "ui/DesktopApplication.h"

#include "tools/PasswordHelper.h"

namespace keskor {

DesktopApplication::DesktopApplication(Platform p)
    : m_localizer(p.localizer),
      m_app(std::make_unique<AppDelegate>(AppDelegate::Services{
          p.paths, p.defaults, p.keychain, m_notifications, p.presenter, m_localizer.lookup(),
          [](const QString& password) { return PasswordHelper::entropy(password); }, false,
          std::move(p.storageFactory), std::move(p.websocket),
          [this] { m_lock.startMonitoring(); }})),
      m_items(std::make_unique<ItemActions>(m_app->mainManager().sessionManager, m_app->databases(),
                                            m_notifications, p.presenter)),
      m_clipboard(p.clipboard, p.clock, p.notifier, m_localizer.lookup(),
                  [this] { return m_app->mainManager().settingManager.clipboardClearTime(); }),
      m_lock(m_app->mainManager().sessionManager, p.presenter, p.statusItem, p.clock,
             [this] { return m_app->mainManager().settingManager.autoLockTime(); }),
      m_protection(m_app->mainManager().settingManager.protectionKeyForWriting()),
      m_pwned(m_network, std::move(p.pwned)), m_context{*m_app,
                                                        *m_items,
                                                        p.presenter,
                                                        m_localizer,
                                                        m_localizer.lookup(),
                                                        m_clipboard,
                                                        p.clock,
                                                        m_random,
                                                        m_notifications,
                                                        m_protection,
                                                        m_network,
                                                        m_pwned,
                                                        m_lock,
                                                        [] { return nullptr; },
                                                        [] { return nullptr; }} {}

} // namespace keskor

#pragma once
// The services of the desktop program composed once, over the platform services it is given:
// the application object with its workflows, the main view's item changes, clipboard, lock,
// breach check, settings protection and the context every widget receives. The program builds
// it over the real platform, the widget tests over doubles, so both run the same wiring.

#include "core/AppDelegate.h"
#include "core/ClipboardHelper.h"
#include "core/ItemActions.h"
#include "core/Localizer.h"
#include "core/LockManager.h"
#include "core/MainManager.h"
#include "core/shared/EncryptionHelper.h"
#include "platform/NotificationCenter.h"
#include "tools/PwnedPasswordsClient.h"
#include "tools/SystemRandomSource.h"
#include "ui/UiContext.h"

#include <QNetworkAccessManager>
#include <memory>

namespace keskor {

class AppPaths;
class Clipboard;
class Clock;
class DefaultsStore;
class Keychain;
class Presenter;
class StatusItem;
class UserNotifier;

class DesktopApplication {
public:
    struct Platform {
        const AppPaths& paths;
        DefaultsStore& defaults;
        Keychain& keychain;
        Clipboard& clipboard;
        UserNotifier& notifier;
        StatusItem& statusItem;
        Clock& clock;
        Presenter& presenter;
        const Localizer& localizer;
        PwnedPasswordsClient::Config pwned;
        MainManager::StorageFactory storageFactory;
        /// The browser bridge; without one the bridge stays off (tests).
        MainManager::WebSocketFactory websocket;
    };

    explicit DesktopApplication(Platform platform);
    DesktopApplication(const DesktopApplication&) = delete;
    DesktopApplication& operator=(const DesktopApplication&) = delete;

    AppDelegate& app() { return *m_app; }
    NotificationCenter& notifications() { return m_notifications; }
    const Localizer& localizer() { return m_localizer; }
    ItemActions& items() { return *m_items; }
    ClipboardHelper& clipboard() { return m_clipboard; }
    LockManager& lock() { return m_lock; }
    UiContext& context() { return m_context; }

    /// Where the main view reports its selected folder and dialogs find their parent.
    void setSelectedFolder(std::function<Info2Item*()> selected) {
        m_context.selectedFolder = std::move(selected);
    }
    void setDialogParent(std::function<QWidget*()> parent) {
        m_context.dialogParent = std::move(parent);
    }

private:
    NotificationCenter m_notifications;
    const Localizer& m_localizer;
    SystemRandomSource m_random;
    QNetworkAccessManager m_network;
    std::unique_ptr<AppDelegate> m_app;
    std::unique_ptr<ItemActions> m_items;
    ClipboardHelper m_clipboard;
    LockManager m_lock;
    EncryptionHelper m_protection;
    PwnedPasswordsClient m_pwned;
    UiContext m_context;
};

} // namespace keskor

#pragma once
// The program's icon in the desktop's status area, with the status menu: show or hide the
// window, lock, quit. Clicking the icon shows the window. Locking switches to the locked icon.
// What the items do comes from the composition root as callbacks, so the icon knows no window
// class. Without a status area (no tray host, the offscreen platform) nothing is shown and
// nothing fails.

#include "platform/StatusItem.h"
#include "tools/TextLookup.h"

#include <QIcon>
#include <QObject>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace keskor {

class TrayIcon : public QObject, public StatusItem {
    Q_OBJECT
public:
    /// The menu items' tags.
    static constexpr int kShowWindowTag = 101;
    static constexpr int kHideWindowTag = 102;
    static constexpr int kLockTag = 200;

    struct Callbacks {
        std::function<void()> showWindow;
        std::function<void()> hideWindow;
        std::function<void()> lock;
        std::function<void()> quit;
        std::function<bool()> isWindowVisible;
        /// The window shows an open database (not the start view).
        std::function<bool()> isDatabaseShown;
        /// Locked while the desktop has no status area to come back through: the unlock
        /// prompt must then show at once. Called after the lock has finished.
        std::function<void()> lockedWithoutTray;
    };

    /// Which items the menu offers in a given state.
    struct MenuState {
        bool showWindowVisible = false;
        bool hideWindowVisible = false;
        bool lockEnabled = false;
    };
    static MenuState menuState(bool windowVisible, bool databaseShown);

    TrayIcon(TextLookup text, Callbacks callbacks, QObject* parent = nullptr);
    ~TrayIcon() override;

    void setLocked(bool locked) override;
    bool isLocked() const noexcept { return m_locked; }
    /// Brings the menu's items in line with the window; runs each time the menu opens.
    void updateMenu();

    QMenu* menu() const { return m_menu.get(); }
    /// The item with `tag`, or null.
    QAction* action(int tag) const;
    /// False when the desktop has no status area.
    bool isShown() const;

private:
    QAction* addItem(const QString& textKey, const char* objectName, int tag,
                     const std::function<void()>& run);

    TextLookup m_text;
    Callbacks m_callbacks;
    QIcon m_normalIcon;
    QIcon m_lockedIcon;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_tray = nullptr;
    bool m_locked = false;
};

} // namespace keskor

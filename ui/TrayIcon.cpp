#include "ui/TrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

namespace keskor {

namespace {

// Without Qt's SVG plugin the vector icons load as empty icons; a stock one keeps the tray
// entry visible and clickable.
QIcon iconOr(const QString& resource, QStyle::StandardPixmap fallback) {
    const QIcon icon(resource);
    if (!icon.pixmap(QSize(32, 32)).isNull()) {
        return icon;
    }
    return QApplication::style()->standardIcon(fallback);
}

} // namespace

TrayIcon::MenuState TrayIcon::menuState(bool windowVisible, bool databaseShown) {
    MenuState state;
    state.showWindowVisible = !windowVisible;
    state.hideWindowVisible = windowVisible;
    state.lockEnabled = databaseShown;
    return state;
}

TrayIcon::TrayIcon(TextLookup text, Callbacks callbacks, QObject* parent)
    : QObject(parent), m_text(std::move(text)), m_callbacks(std::move(callbacks)),
      m_normalIcon(iconOr(QStringLiteral(":/icons/keskor.svg"), QStyle::SP_DialogYesButton)),
      m_lockedIcon(
          iconOr(QStringLiteral(":/icons/keskor-locked.svg"), QStyle::SP_MessageBoxWarning)),
      m_menu(std::make_unique<QMenu>()) {
    m_menu->setObjectName(QStringLiteral("statusMenu"));
    addItem(QStringLiteral("tray_show_window"), "showWindowAction", kShowWindowTag,
            m_callbacks.showWindow);
    addItem(QStringLiteral("tray_hide_window"), "hideWindowAction", kHideWindowTag,
            m_callbacks.hideWindow);
    addItem(QStringLiteral("tray_lock"), "lockAction", kLockTag, m_callbacks.lock);
    m_menu->addSeparator();
    addItem(QStringLiteral("tray_quit"), "quitAction", 0, m_callbacks.quit);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &TrayIcon::updateMenu);
    updateMenu();

    m_tray = new QSystemTrayIcon(m_normalIcon, this);
    m_tray->setObjectName(QStringLiteral("trayIcon"));
    m_tray->setToolTip(m_text(QStringLiteral("app_name")));
    m_tray->setContextMenu(m_menu.get());
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && m_callbacks.showWindow) {
                    m_callbacks.showWindow();
                }
            });
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray->show();
    }
}

TrayIcon::~TrayIcon() {
    // The tray refers to the menu; let it go first.
    delete m_tray;
    m_tray = nullptr;
}

QAction* TrayIcon::addItem(const QString& textKey, const char* objectName, int tag,
                           const std::function<void()>& run) {
    QAction* action = m_menu->addAction(m_text(textKey));
    action->setObjectName(QLatin1String(objectName));
    action->setData(tag);
    connect(action, &QAction::triggered, this, [run] {
        if (run) {
            run();
        }
    });
    return action;
}

QAction* TrayIcon::action(int tag) const {
    for (QAction* action : m_menu->actions()) {
        if (!action->isSeparator() && action->data().toInt() == tag) {
            return action;
        }
    }
    return nullptr;
}

void TrayIcon::updateMenu() {
    const bool visible = m_callbacks.isWindowVisible && m_callbacks.isWindowVisible();
    const bool database = m_callbacks.isDatabaseShown && m_callbacks.isDatabaseShown();
    const MenuState state = menuState(visible, database);
    action(kShowWindowTag)->setVisible(state.showWindowVisible);
    action(kHideWindowTag)->setVisible(state.hideWindowVisible);
    action(kLockTag)->setEnabled(state.lockEnabled);
}

void TrayIcon::setLocked(bool locked) {
    m_locked = locked;
    m_tray->setIcon(locked ? m_lockedIcon : m_normalIcon);
    if (locked && !isShown() && m_callbacks.lockedWithoutTray) {
        QTimer::singleShot(0, this, [this] {
            if (m_locked) {
                m_callbacks.lockedWithoutTray();
            }
        });
    }
}

bool TrayIcon::isShown() const {
    return m_tray->isVisible();
}

} // namespace keskor

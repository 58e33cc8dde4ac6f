#include "ui/DesktopAutoComplete.h"

#include "core/AppDelegate.h"
#include "core/ClipboardHelper.h"
#include "platform/Presenter.h"
#include "platform/x11/X11DesktopInput.h"
#include "ui/AutoCompletePopup.h"
#include "ui/MainWindow.h"
#include "ui/UiContext.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QWindow>

namespace keskor {

DesktopAutoComplete::DesktopAutoComplete(UiContext& ctx, MainWindow& window, Clipboard& clipboard)
    : m_ctx(ctx), m_window(window),
      m_browsers(m_opener, m_launcher, ctx.presenter,
                 [&ctx](const QString& secret) { ctx.clipboard.copyToClipboard(secret, true); }) {
    QString error;
    m_input = X11DesktopInput::open(qEnvironmentVariable("DISPLAY"), &error);
    if (!m_input) {
        qInfo().noquote() << "auto-complete is off:" << error;
    } else {
        m_helper = std::make_unique<AutoCompleteHelper>(AutoCompleteHelper::Services{
            m_input->keys(), m_input->windows(), m_input->clicks(), clipboard, ctx.clock,
            [](QPoint at) {
                QWindow* under = QGuiApplication::topLevelAt(at);
                return under && under->isVisible();
            },
            QCoreApplication::applicationPid()});
        m_helper->onProblem = [&ctx](const UiText& message, const UiText& detail) {
            ctx.presenter.alert(AlertStyle::warning, message, detail, {});
        };
        SessionManager& session = ctx.app.mainManager().sessionManager;
        m_shortcut = std::make_unique<AutoCompleteShortcutController>(
            *m_helper, m_input->shortcut(), ctx.app.mainManager().settingManager,
            AutoCompleteShortcutController::Hooks{
                [this, &session]() -> std::shared_ptr<Info2Item> {
                    // A locked database types nothing, whatever the list still shows.
                    if (session.isLocked || !m_window.isShowingDatabase()) {
                        return nullptr;
                    }
                    return m_window.currentEntry();
                },
                [this](const Info2Item& entry) { openPopup(entry); }});
        applyShortcut();
        ctx.app.settings().setShortcutChanged([this] {
            if (!m_shortcut->apply()) {
                m_ctx.presenter.alert(
                    AlertStyle::warning, UiText::key(QStringLiteral("dialog_warning")),
                    UiText::key(QStringLiteral("autocomplete_shortcut_taken")), {});
            }
        });
    }
    window.openEntryUrl = [this](const Info2Item& entry) { m_browsers.openEntryUrl(entry); };
    window.autoComplete = [this](const Info2Item& entry) { openPopup(entry); };
}

DesktopAutoComplete::~DesktopAutoComplete() {
    m_ctx.app.settings().setShortcutChanged({});
    if (m_popup) {
        delete m_popup;
    }
}

void DesktopAutoComplete::applyShortcut() {
    if (m_shortcut) {
        m_shortcut->apply();
    }
}

void DesktopAutoComplete::openPopup(const Info2Item& entry) {
    if (m_popup) {
        m_popup->close();
    }
    m_popup = new AutoCompletePopup(m_ctx, m_helper.get(), entry, [this](bool visible) {
        if (visible) {
            m_window.show();
        } else {
            m_window.hide();
        }
    });
    m_popup->show();
}

} // namespace keskor

#pragma once
// Types an entry into another program: armed for one entry, it waits for the user's next left
// click in another program's window, then plays the entry's auto-type template there as key
// strokes and clipboard pastes. The steps run on the main thread from timers rather than
// sleeping in it, because the X clipboard hands its text over only when the target asks for it
// and our event loop answers. Before every step the active window is checked against the one
// the run began in: once it is gone or another took its place, not one more key is sent.

#include "core/shared/Info2Item.h"
#include "platform/ActiveWindowInfo.h"
#include "platform/Clock.h"
#include "platform/KeyInjector.h"
#include "platform/UiText.h"

#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

namespace keskor {

class ClickMonitor;
class Clipboard;

class AutoCompleteHelper {
public:
    struct Services {
        KeyInjector& keys;
        ActiveWindowInfo& windows;
        ClickMonitor& clicks;
        Clipboard& clipboard;
        Clock& clock;
        /// Whether a click at this screen position lands on one of our own windows.
        std::function<bool(QPoint)> ownWindowAt;
        /// Our process id, to tell our windows from other programs' ones.
        qint64 ownPid = 0;
    };

    /// One timed action of a run.
    struct Step {
        enum class Kind { chord, setClipboard, paste, wait };
        Kind kind = Kind::wait;
        int waitMs = 0;
        KeyChord chord;
        QString text;
    };

    /// The template used when an entry has none.
    static constexpr const char* kDefaultTemplate = "<USER><TAB><PASS><ENTER>";
    /// A click changes the focus after its press reaches us; the run looks at the active window
    /// this much later.
    static constexpr int kFocusSettleMs = 200;
    /// How long a pasted secret stays on the clipboard after the run.
    static constexpr int kClipboardKeepMs = 2000;
    /// The longest wait a DELAY token may ask for.
    static constexpr int kMaxDelayMs = 60'000;

    explicit AutoCompleteHelper(Services services);
    ~AutoCompleteHelper();
    AutoCompleteHelper(const AutoCompleteHelper&) = delete;
    AutoCompleteHelper& operator=(const AutoCompleteHelper&) = delete;

    std::optional<Info2Item> infoItem;
    /// A run is pending (set by start, cleared by a run and when the popup closes). Unlike a
    /// fresh start, a new helper is not armed: the first click anywhere must not clear a field.
    bool hasToRunAutoComplete = false;
    /// The most recently activated window belongs to another program.
    bool isBrowserActivated = false;

    /// Arms a run for `entry`, replacing any armed one; `success` is called after the run.
    void start(const Info2Item& entry, std::function<void()> success);
    /// Types `entry` into the active window at once (the global shortcut). False, and nothing
    /// typed, when the active window is ours or there is none.
    bool runNow(const Info2Item& entry, std::function<void()> success);
    /// Queues the steps of one token of the template and starts them when idle.
    void runToken(const QString& token);
    bool isRunning() const { return m_target.has_value(); }

    /// Told when a run stops early or could not type everything: a message and a detail for
    /// the user.
    std::function<void(const UiText& message, const UiText& detail)> onProblem;

    /// The template's tokens: split at '>', each non-empty piece without its first character.
    static QStringList tokensOf(const QString& autoTypeTemplate);
    /// What one token does for `entry`; a custom-field name the entry lacks goes to `missing`.
    static QList<Step> stepsFor(const QString& token, const Info2Item* entry, QStringList* missing);
    /// Terminals paste with Ctrl+Shift+V; Ctrl+V would reach the shell as a control character.
    static bool isTerminal(const QString& appName);

private:
    bool isOwn(const ActiveWindow& window) const;
    void clicked(QPoint at);
    void begin(const ActiveWindow& target);
    void scheduleNext();
    void perform(const Step& step);
    void finish();
    void stop(const UiText& problem, const UiText& detail);

    Services m_services;
    std::function<void()> _successCallback;
    std::optional<ActiveWindow> m_target;
    std::deque<Step> m_steps;
    QStringList m_missing;
    std::optional<QString> m_lastPasted;
    std::optional<Clock::TimerId> m_timer;
    std::optional<Clock::TimerId> m_clipboardTimer;
    std::optional<Clock::TimerId> m_settleTimer;
};

} // namespace keskor

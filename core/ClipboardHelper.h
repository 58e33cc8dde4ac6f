#pragma once
// Puts texts from the database on the system clipboard and wipes them again after the
// clipboard-clear time. Each copy supersedes the clearing of the one before, so a copy gets its
// full clearing time; the clearing leaves the clipboard alone when it no longer holds what was
// copied (the user has copied something else since). Lives on the main thread; the clipboard,
// clock and notifier must outlive it.

#include "core/shared/SecureBytes.h"
#include "platform/Clock.h"

#include <QString>
#include <functional>
#include <optional>

namespace keskor {

class Clipboard;
class UserNotifier;

class ClipboardHelper {
public:
    /// `localized` looks texts up by key (for the copy notice); `clipboardClearSeconds` reads
    /// the clearing-time setting afresh on every copy (-1 = never clear).
    ClipboardHelper(Clipboard& clipboard, Clock& clock, UserNotifier& notifier,
                    std::function<QString(const QString&)> localized,
                    std::function<int()> clipboardClearSeconds);
    ~ClipboardHelper();
    ClipboardHelper(const ClipboardHelper&) = delete;
    ClipboardHelper& operator=(const ClipboardHelper&) = delete;

    /// Replaces the clipboard's content with `text` (an empty text too). With `clearAfterCopy`
    /// the text is marked secret for clipboard managers, its clearing is scheduled unless the
    /// clearing time is -1, and the copy notice is shown.
    void copyToClipboard(const QString& text, bool clearAfterCopy);

    /// The clearing time in seconds as used; -1 for "never".
    int clearSeconds() const;
    /// True while a clearing is scheduled.
    bool isClearingPending() const noexcept { return m_pendingClear.has_value(); }

private:
    void cancelPendingClear();
    void clearIfStillOurs();

    Clipboard& m_clipboard;
    Clock& m_clock;
    UserNotifier& m_notifier;
    std::function<QString(const QString&)> m_localized;
    std::function<int()> m_clipboardClearSeconds;
    std::optional<Clock::TimerId> m_pendingClear;
    // What the pending clearing expects to find on the clipboard, in wiping memory.
    SecureBytes m_copied;
};

} // namespace keskor

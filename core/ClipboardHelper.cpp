#include "core/ClipboardHelper.h"

#include "core/NotificationsHelper.h"
#include "platform/Clipboard.h"

#include <algorithm>

namespace keskor {

namespace {

constexpr int kNeverClear = -1;
// The setter never stores less; a smaller stored value must not wipe the clipboard before the
// user had a chance to paste.
constexpr int kMinClearSeconds = 10;

} // namespace

ClipboardHelper::ClipboardHelper(Clipboard& clipboard, Clock& clock, UserNotifier& notifier,
                                 std::function<QString(const QString&)> localized,
                                 std::function<int()> clipboardClearSeconds)
    : m_clipboard(clipboard), m_clock(clock), m_notifier(notifier),
      m_localized(std::move(localized)), m_clipboardClearSeconds(std::move(clipboardClearSeconds)) {
}

ClipboardHelper::~ClipboardHelper() {
    cancelPendingClear();
}

int ClipboardHelper::clearSeconds() const {
    const int seconds = m_clipboardClearSeconds ? m_clipboardClearSeconds() : kNeverClear;
    return seconds == kNeverClear ? kNeverClear : std::max(seconds, kMinClearSeconds);
}

void ClipboardHelper::copyToClipboard(const QString& text, bool clearAfterCopy) {
    // Whatever was scheduled belonged to the previous content, which this copy replaces.
    cancelPendingClear();
    m_clipboard.setText(text, clearAfterCopy);
    if (!clearAfterCopy) {
        return;
    }
    const int seconds = clearSeconds();
    if (seconds != kNeverClear) {
        m_copied = SecureBytes::fromText(text);
        m_pendingClear = m_clock.singleShot(qint64(seconds) * 1000, [this] {
            m_pendingClear.reset();
            clearIfStillOurs();
        });
    }
    const auto localized = [this](const QString& key) {
        return m_localized ? m_localized(key) : key;
    };
    NotificationsHelper::showCopyNotice(m_notifier, localized, seconds);
}

void ClipboardHelper::cancelPendingClear() {
    if (m_pendingClear) {
        m_clock.cancel(*m_pendingClear);
        m_pendingClear.reset();
    }
    m_copied = SecureBytes(); // releasing the buffer wipes it
}

void ClipboardHelper::clearIfStillOurs() {
    QString current = m_clipboard.text();
    const bool ours = SecureBytes::fromText(current).equals(m_copied);
    secureWipe(current);
    m_copied = SecureBytes(); // releasing the buffer wipes it
    if (ours) {
        m_clipboard.clear();
    }
}

} // namespace keskor

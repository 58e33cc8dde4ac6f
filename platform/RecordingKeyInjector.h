#pragma once
// A key injector for tests: records each chord with what the clipboard held when it was sent,
// so a paste can be checked for the text it would have pasted. `beforeChord` lets a test act
// mid-typing (close the target window).

#include "platform/Clipboard.h"
#include "platform/KeyInjector.h"

#include <QList>
#include <functional>

namespace keskor {

class RecordingKeyInjector : public KeyInjector {
public:
    struct Sent {
        KeyChord chord;
        QString clipboard;
        qint64 atMs = 0;
    };

    explicit RecordingKeyInjector(const Clipboard* clipboard = nullptr,
                                  std::function<qint64()> now = {})
        : m_clipboard(clipboard), m_now(std::move(now)) {}

    bool sendChord(const KeyChord& chord) override {
        if (beforeChord) {
            beforeChord(chord);
        }
        sent.append({chord, m_clipboard ? m_clipboard->text() : QString(), m_now ? m_now() : 0});
        return accept;
    }

    QList<Sent> sent;
    bool accept = true;
    std::function<void(const KeyChord&)> beforeChord;

private:
    const Clipboard* m_clipboard;
    std::function<qint64()> m_now;
};

} // namespace keskor

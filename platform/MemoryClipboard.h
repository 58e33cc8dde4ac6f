#pragma once
// A clipboard in memory for tests: keeps the text, whether it was marked secret, and counts.

#include "platform/Clipboard.h"

namespace keskor {

class MemoryClipboard : public Clipboard {
public:
    void setText(const QString& text, bool secret) override {
        m_text = text;
        m_secret = secret;
        m_hasText = true;
        ++m_setCount;
    }
    QString text() const override { return m_text; }
    void clear() override {
        m_text.clear();
        m_secret = false;
        m_hasText = false;
        ++m_clearCount;
    }

    /// True between a setText (even of an empty text) and the next clear.
    bool hasText() const noexcept { return m_hasText; }
    bool isSecret() const noexcept { return m_secret; }
    int setCount() const noexcept { return m_setCount; }
    int clearCount() const noexcept { return m_clearCount; }

private:
    QString m_text;
    bool m_secret = false;
    bool m_hasText = false;
    int m_setCount = 0;
    int m_clearCount = 0;
};

} // namespace keskor

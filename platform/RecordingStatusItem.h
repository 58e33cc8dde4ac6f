#pragma once
// A status item for tests: remembers every look it was switched to.

#include "platform/StatusItem.h"

#include <QList>

namespace keskor {

class RecordingStatusItem : public StatusItem {
public:
    void setLocked(bool locked) override { m_looks.append(locked); }

    /// The current look; the normal one until the first switch.
    bool isLocked() const noexcept { return !m_looks.isEmpty() && m_looks.last(); }
    /// Every switch in order (true = locked look).
    const QList<bool>& looks() const noexcept { return m_looks; }

private:
    QList<bool> m_looks;
};

} // namespace keskor

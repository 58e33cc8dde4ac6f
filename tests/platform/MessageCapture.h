#pragma once
// Collects the Qt warnings printed while it lives, so tests can check what was logged.

#include <QList>
#include <QString>
#include <QtGlobal>

namespace keskor::test {

class MessageCapture {
public:
    MessageCapture() : m_previous(qInstallMessageHandler(&MessageCapture::handle)) {
        s_current = this;
    }
    ~MessageCapture() {
        s_current = nullptr;
        qInstallMessageHandler(m_previous);
    }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    const QList<QString>& warnings() const { return m_warnings; }
    int count(const QString& part) const {
        int n = 0;
        for (const QString& w : m_warnings) {
            n += w.contains(part) ? 1 : 0;
        }
        return n;
    }
    bool anyContains(const QString& part) const { return count(part) > 0; }

private:
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (s_current && type >= QtWarningMsg) {
            s_current->m_warnings.append(message);
        }
    }

    inline static MessageCapture* s_current = nullptr;
    QtMessageHandler m_previous;
    QList<QString> m_warnings;
};

} // namespace keskor::test

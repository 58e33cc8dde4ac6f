#pragma once
// The desktop clipboard through QClipboard. Secrets carry the "x-kde-passwordManagerHint" entry
// "secret", which KDE's Klipper and other clipboard managers honour by not keeping them.
// On Wayland a compositor may ignore a clear from an application without focus (the clearing
// timer fires while the user works elsewhere), so clear() also runs "wl-copy --clear" when it
// is installed and the session is a Wayland one.

#include "platform/Clipboard.h"

#include <QProcessEnvironment>

class QClipboard;

namespace keskor {

class QtClipboard : public Clipboard {
public:
    /// `env` decides about Wayland (WAYLAND_DISPLAY) and where wl-copy is looked for (PATH).
    QtClipboard(QClipboard* clipboard, QProcessEnvironment env);
    QtClipboard();

    void setText(const QString& text, bool secret) override;
    QString text() const override;
    void clear() override;

    static const char* const kPasswordManagerHint;

private:
    QString wlCopyProgram() const;

    QClipboard* m_clipboard;
    QProcessEnvironment m_env;
};

} // namespace keskor

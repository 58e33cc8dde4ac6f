#pragma once
// Our own Xlib connection to the X server named by DISPLAY, separate from the toolkit's: the
// auto-complete classes send requests on it and receive the root window's events through it.
// Events are read on the main thread whenever the connection has data or the loop is about to
// sleep (Xlib may have queued some during a reply). Requests that may fail (a window that has
// just gone) are made between beginChecked() and endChecked() instead of killing the process
// through Xlib's default error handler.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

class QSocketNotifier;

namespace keskor {

class X11Display : public QObject {
    Q_OBJECT
public:
    using Listener = std::function<void(XEvent&)>;

    /// Connects and checks for the XTest and XInput 2 extensions; null with `error` set (an
    /// English diagnostic) when there is no X server or it lacks them.
    static std::unique_ptr<X11Display> open(const QString& name, QString* error);
    ~X11Display() override;

    Display* display() const { return m_display; }
    unsigned long root() const;
    /// The major opcode of XInput, to recognise its generic events.
    int xinputOpcode() const { return m_xinputOpcode; }
    unsigned long atom(const char* name) const;

    void addListener(Listener listener);
    /// Sends queued requests and reads every waiting event.
    void dispatchPending();

    void beginChecked();
    /// Waits for the server to handle the requests since beginChecked(); false when any of
    /// them failed.
    bool endChecked();

private:
    X11Display(Display* display, int xinputOpcode);

    Display* m_display;
    int m_xinputOpcode;
    QSocketNotifier* m_notifier = nullptr;
    std::vector<Listener> m_listeners;
};

} // namespace keskor

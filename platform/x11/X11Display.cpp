#include "platform/x11/X11Display.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <atomic>

namespace keskor {

namespace {

// Xlib reports failed requests to one process-wide handler; ours only counts the failures on
// our connections and hands the rest to whoever was installed before.
std::atomic<int> failedRequests{0};
XErrorHandler previousHandler = nullptr;
std::atomic<int> openDisplays{0};

int countError(Display* display, XErrorEvent* event) {
    (void)display;
    (void)event;
    ++failedRequests;
    return 0;
}

} // namespace

std::unique_ptr<X11Display> X11Display::open(const QString& name, QString* error) {
    const QByteArray displayName = name.toLocal8Bit();
    if (displayName.isEmpty()) {
        *error = QStringLiteral("no X11 display (DISPLAY is not set)");
        return nullptr;
    }
    Display* display = XOpenDisplay(displayName.constData());
    if (!display) {
        *error = QStringLiteral("cannot connect to the X11 display %1").arg(name);
        return nullptr;
    }
    int event = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &errorBase, &major, &minor)) {
        XCloseDisplay(display);
        *error = QStringLiteral("the X server lacks the XTEST extension");
        return nullptr;
    }
    int opcode = 0;
    int xiMajor = 2, xiMinor = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &errorBase) ||
        XIQueryVersion(display, &xiMajor, &xiMinor) != Success) {
        XCloseDisplay(display);
        *error = QStringLiteral("the X server lacks XInput 2");
        return nullptr;
    }
    return std::unique_ptr<X11Display>(new X11Display(display, opcode));
}

X11Display::X11Display(Display* display, int xinputOpcode)
    : m_display(display), m_xinputOpcode(xinputOpcode) {
    if (openDisplays++ == 0) {
        previousHandler = XSetErrorHandler(countError);
    }
    m_notifier = new QSocketNotifier(ConnectionNumber(m_display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { dispatchPending(); });
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { dispatchPending(); });
    }
}

X11Display::~X11Display() {
    delete m_notifier;
    XCloseDisplay(m_display);
    if (--openDisplays == 0) {
        XSetErrorHandler(previousHandler);
    }
}

unsigned long X11Display::root() const {
    return DefaultRootWindow(m_display);
}

unsigned long X11Display::atom(const char* name) const {
    return XInternAtom(m_display, name, False);
}

void X11Display::addListener(Listener listener) {
    m_listeners.push_back(std::move(listener));
}

void X11Display::dispatchPending() {
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        // Copied: a listener may add another one while the event is handed round.
        const std::vector<Listener> listeners = m_listeners;
        for (const Listener& listener : listeners) {
            listener(event);
        }
    }
}

void X11Display::beginChecked() {
    XSync(m_display, False);
    failedRequests = 0;
}

bool X11Display::endChecked() {
    XSync(m_display, False);
    return failedRequests.exchange(0) == 0;
}

} // namespace keskor

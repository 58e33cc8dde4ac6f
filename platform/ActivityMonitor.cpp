#include "platform/ActivityMonitor.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEvent>

namespace keskor {

ActivityMonitor::ActivityMonitor(std::function<void()> onActivity, QObject* parent)
    : QObject(parent), m_onActivity(std::move(onActivity)) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
    } else {
        qWarning() << "activity: no application object; user activity is not watched";
    }
}

ActivityMonitor::~ActivityMonitor() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeEventFilter(this);
    }
}

bool ActivityMonitor::isUserInput(const QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

bool ActivityMonitor::eventFilter(QObject* watched, QEvent* event) {
    if (isUserInput(event) && m_onActivity) {
        m_onActivity();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace keskor

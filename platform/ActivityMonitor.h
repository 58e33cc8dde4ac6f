#pragma once
// Watches every event of the application for user input (keys, mouse, wheel, touch, tablet)
// and calls a handler for each; the idle-lock timer restarts from it. Installed as an event
// filter on the application object, so input to any window of the program counts, and input to
// other programs does not. Events pass on unchanged. Create it on the main thread.

#include <QObject>
#include <functional>

class QEvent;

namespace keskor {

class ActivityMonitor : public QObject {
    Q_OBJECT
public:
    explicit ActivityMonitor(std::function<void()> onActivity, QObject* parent = nullptr);
    ~ActivityMonitor() override;

    static bool isUserInput(const QEvent* event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_onActivity;
};

} // namespace keskor

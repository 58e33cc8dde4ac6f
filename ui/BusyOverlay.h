#pragma once
// A modal veil over a window with a text and a running indicator, shown while a long operation
// (a breach check, an upload, creating a database remotely) is under way.

#include <QWidget>

class QLabel;

namespace keskor {

class BusyOverlay : public QWidget {
    Q_OBJECT
public:
    explicit BusyOverlay(QWidget* window);
    void showText(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_label;
};

} // namespace keskor

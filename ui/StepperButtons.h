#pragma once
// The small up/down pair beside a number field. It holds no value of its own: each press
// reports a step of +1 or -1 and the field's controller decides what the field becomes.

#include <QWidget>

class QToolButton;

namespace keskor {

class StepperButtons : public QWidget {
    Q_OBJECT
public:
    /// `name` prefixes the object names of the two buttons ("<name>Up", "<name>Down").
    explicit StepperButtons(const QString& name, QWidget* parent = nullptr);

Q_SIGNALS:
    void stepped(int step);

private:
    QToolButton* m_up;
    QToolButton* m_down;
};

} // namespace keskor

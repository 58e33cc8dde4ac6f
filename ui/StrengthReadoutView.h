#pragma once
// The strength read-out under a password: a bar coloured from red to green by the entropy, the
// summary line and the crack-time line. Shows a StrengthReadout; computes nothing itself.

#include "tools/StrengthReadout.h"

#include <QWidget>

class QLabel;
class QProgressBar;

namespace keskor {

class StrengthReadoutView : public QWidget {
    Q_OBJECT
public:
    explicit StrengthReadoutView(QWidget* parent = nullptr);

    void display(const StrengthReadout& readout);

private:
    QProgressBar* m_bar;
    QLabel* m_summary;
    QLabel* m_crackTime;
};

} // namespace keskor

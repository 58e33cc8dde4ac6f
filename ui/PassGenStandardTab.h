#pragma once
// The generator's mouse-driven tab: the class check boxes and the length, then every mouse
// movement over the tab is handed to the controller, which appends characters now and then.

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace keskor {

class PassGenStandardTabController;
class StrengthReadoutView;
struct UiContext;

class PassGenStandardTab : public QWidget {
    Q_OBJECT
public:
    PassGenStandardTab(UiContext& ctx, PassGenStandardTabController& controller,
                       QWidget* parent = nullptr);

    /// Shows the controller's state.
    void refresh();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    PassGenStandardTabController& m_controller;
    QCheckBox* m_upper;
    QCheckBox* m_lower;
    QCheckBox* m_special;
    QCheckBox* m_digits;
    QLineEdit* m_length;
    QLabel* m_mouseArea;
    QLineEdit* m_password;
    QPushButton* m_clear;
    QPushButton* m_toggle;
    QPushButton* m_copy;
    StrengthReadoutView* m_readout;
};

} // namespace keskor

#pragma once
// The generator's advanced tab: either the exact characters to draw from or a share per
// character class, the options, and the Generate button; the controller does the rest.

#include <QWidget>
#include <array>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace keskor {

class PassGenAdvancedTabController;
class StepperButtons;
class StrengthReadoutView;
struct PassGenAdvancedTabState;
struct UiContext;

class PassGenAdvancedTab : public QWidget {
    Q_OBJECT
public:
    PassGenAdvancedTab(UiContext& ctx, PassGenAdvancedTabController& controller,
                       QWidget* parent = nullptr);

    /// Shows the controller's state.
    void refresh();

private:
    struct Row {
        QCheckBox* check = nullptr;
        QLineEdit* percent = nullptr;
        StepperButtons* stepper = nullptr;
    };

    void buildRows(UiContext& ctx);
    /// The option check boxes have no action of their own: their state is read on Generate.
    void setOptionCheck(bool PassGenAdvancedTabState::*flag, bool on);

    PassGenAdvancedTabController& m_controller;
    QRadioButton* m_selectedRadio;
    QRadioButton* m_classesRadio;
    QLineEdit* m_selectedChars;
    QGroupBox* m_classesBox;
    std::array<Row, 5> m_rows;
    QLineEdit* m_customChars;
    QCheckBox* m_atLeastOne;
    QCheckBox* m_excludeSimilar;
    QCheckBox* m_excludeIdentical;
    QLineEdit* m_length;
    QLineEdit* m_tries;
    QPushButton* m_generate;
    QLineEdit* m_password;
    QPushButton* m_copy;
    QPushButton* m_toggle;
    StrengthReadoutView* m_readout;
};

} // namespace keskor

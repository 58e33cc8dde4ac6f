#pragma once
// The password analysis: every password of the database with its strength, weakest first, and
// on request how often each occurs in known breaches. The breach check runs in the background;
// the list stays usable meanwhile.

#include "tools/AnalyzeViewController.h"
#include "tools/BreachCheck.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;

namespace keskor {

class AnalyzeTableModel;
struct UiContext;

class AnalyzeDialog : public QDialog {
    Q_OBJECT
public:
    explicit AnalyzeDialog(UiContext& ctx, QWidget* parent = nullptr);
    ~AnalyzeDialog() override;

    AnalyzeViewController& controller() { return m_controller; }

private:
    void edit();
    void checkBreaches();
    void updateButtons();

    UiContext& m_ctx;
    AnalyzeViewController m_controller;
    BreachCheck m_check;
    AnalyzeTableModel* m_model;
    QTableView* m_table;
    QLabel* m_status;
    QPushButton* m_editButton;
    QPushButton* m_checkButton;
    quint64 m_observer = 0;
};

} // namespace keskor

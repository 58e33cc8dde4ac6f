#pragma once
// Offers to keep a login the user has just submitted in the browser as a new entry: Add (in
// the chosen folder), Ignore (the browser stops asking for this address) or Cancel. It stays
// above other windows and closes itself after a minute without an answer.

#include "bridge/WebSocketAddEntryViewController.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace keskor {

struct UiContext;

class WebSocketAddEntryDialog : public QDialog {
    Q_OBJECT
public:
    WebSocketAddEntryDialog(UiContext& ctx, PassFile& file, const QString& title,
                            const QString& url, const std::optional<SocketXMLForm>& form,
                            const Info2Item* selectedFolder, QWidget* parent = nullptr);

    WebSocketAddEntryViewController& controller() { return *m_controller; }

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void forwardFields();

    UiContext& m_ctx;
    std::unique_ptr<WebSocketAddEntryViewController> m_controller;
    QLineEdit* m_description;
    QLineEdit* m_userName;
    QLineEdit* m_password;
    QLineEdit* m_url;
    QComboBox* m_folder;
    QLabel* m_status;
    /// What the dialog reports when the controller closes it.
    int m_outcome = QDialog::Rejected;
};

} // namespace keskor

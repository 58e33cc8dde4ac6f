#pragma once
// The master-password prompt for opening or unlocking a database: password and/or key file as
// the database asks, its hint, and the error of a wrong attempt shown in place, so the user
// can try again without the dialog closing.

#include "platform/CredentialsRequest.h"

#include <QDialog>

class QLabel;
class QLineEdit;

namespace keskor {

class Localizer;

class CredentialsDialog : public QDialog {
    Q_OBJECT
public:
    CredentialsDialog(const Localizer& localizer, CredentialsRequest request,
                      QWidget* parent = nullptr);
    ~CredentialsDialog() override;

    CredentialsAnswer answer() const;

    void accept() override;

private:
    const Localizer& m_localizer;
    CredentialsRequest m_request;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_keyFile = nullptr;
    QLabel* m_error = nullptr;
};

} // namespace keskor

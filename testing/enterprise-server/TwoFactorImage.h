#pragma once
// The image sent with a two-factor activation demand. None of the libraries we build on draws
// QR codes, so this is a placeholder: a PNG whose pattern is derived from the otpauth URI (so
// different secrets look different) and that no app can scan; the dialog shows the secret as
// text beside it for manual entry.

#include <QByteArray>
#include <QString>

namespace keskor::testing {

class TwoFactorImage {
public:
    static QByteArray placeholderPng(const QString& otpauthUri);
};

} // namespace keskor::testing

#pragma once
// Writes a database, or one folder of it, as an unencrypted "passwordfile" XML document
// (version 12.0): the header, then the folders as nested groups and the entries as items, each
// followed by its history versions. One run of text without indentation; element order and
// omissions are fixed by the schema, so readers of the format can rely on them.

#include "core/shared/EncryptionHelper.h"
#include "core/shared/PassFile.h"
#include "tools/XmlExportOptions.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

class QIODevice;

namespace keskor {

class PassFileXmlWriter {
public:
    static constexpr const char* kNamespace =
        "https://keskor.org/schemas/passwordfile/12.0/passwordfile.xsd";
    /// Web forms longer than this are left out.
    static constexpr qsizetype kMaxWebFormLength = 2047;

    /// `protection` encrypts the backup server's name; `exportMoment` is written as "datetime".
    PassFileXmlWriter(const EncryptionHelper& protection, QDateTime exportMoment);

    QByteArray write(const PassFile& file, const XmlExportOptions& options = {}) const;
    void write(QIODevice& out, const PassFile& file, const XmlExportOptions& options = {}) const;

    /// "dd.MM.yyyy hh:mm:ss" with the 12-hour hour and no AM/PM marker; empty for a day number
    /// that is no date.
    static QString dateTimeText(const QDateTime& dateTime);
    static QString dateTimeText(double dayNumber);
    /// "dd.MM.yyyy".
    static QString dateText(double dayNumber);

private:
    const EncryptionHelper& m_protection;
    QDateTime m_exportMoment;
};

} // namespace keskor

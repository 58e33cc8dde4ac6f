#pragma once
// The export dialog's work after the user chose what and where: the document is made in
// memory and written to the chosen file atomically, so a failed write leaves an earlier file
// as it was. Failures are reported through the presenter.

#include "core/shared/EncryptionHelper.h"
#include "core/shared/PassFile.h"
#include "platform/Clock.h"
#include "platform/Presenter.h"
#include "platform/UiText.h"
#include "tools/XmlExportOptions.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace keskor {

class XmlExportController {
public:
    using DatabaseAccess = std::function<const PassFile*()>;

    XmlExportController(Presenter& presenter, const EncryptionHelper& protection,
                        const Clock& clock, DatabaseAccess database);

    /// Why an export of `file` to `target` must not run: the user has no right to export it,
    /// the target is a folder, or it is the database file at `databasePath` itself (which the
    /// unencrypted document would replace). No value when it may run.
    static std::optional<UiText> refusal(const PassFile& file, const QString& target,
                                         const QString& databasePath);

    /// What the dialog says before anything is written: the document is not encrypted.
    static UiText unencryptedWarning();

    /// Writes the open database (or the chosen folder) to `path`; false, after an alert, when
    /// no database is open or the file cannot be written.
    bool exportToFile(const QString& path, const XmlExportOptions& options);

    /// The unencrypted document for the open database; no value, after an alert, when none is
    /// open or it cannot be written.
    std::optional<QByteArray> document(const XmlExportOptions& options);

    /// Writes `bytes` to `path` through a temporary file moved into place; throws
    /// CommonException with the system's reason.
    static void writeAtomically(const QString& path, const QByteArray& bytes);

private:
    Presenter& m_presenter;
    const EncryptionHelper& m_protection;
    const Clock& m_clock;
    DatabaseAccess m_database;
};

} // namespace keskor

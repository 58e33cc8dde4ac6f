#include "tools/XmlExportController.h"

#include "core/shared/AtomicFile.h"
#include "core/shared/CommonException.h"
#include "core/shared/RightsHelper.h"
#include "tools/PassFileXmlWriter.h"

#include <QFileInfo>

namespace keskor {

XmlExportController::XmlExportController(Presenter& presenter, const EncryptionHelper& protection,
                                         const Clock& clock, DatabaseAccess database)
    : m_presenter(presenter), m_protection(protection), m_clock(clock),
      m_database(std::move(database)) {}

void XmlExportController::writeAtomically(const QString& path, const QByteArray& bytes) {
    QString error;
    if (!AtomicFile::write(path, bytes, &error)) {
        throw CommonException(
            QStringLiteral("The export file could not be written: %1").arg(error));
    }
}

std::optional<UiText> XmlExportController::refusal(const PassFile& file, const QString& target,
                                                   const QString& databasePath) {
    if (!RightsHelper::checkDBExportRights(file)) {
        return UiText::key(QStringLiteral("error_no_rights_to_export"));
    }
    const QFileInfo out(target);
    if (out.isDir()) {
        return UiText::key(QStringLiteral("error_export_target_folder"));
    }
    if (out.exists() && !databasePath.isEmpty() &&
        out.canonicalFilePath() == QFileInfo(databasePath).canonicalFilePath()) {
        return UiText::key(QStringLiteral("error_export_over_database"));
    }
    return std::nullopt;
}

bool XmlExportController::exportToFile(const QString& path, const XmlExportOptions& options) {
    const std::optional<QByteArray> bytes = document(options);
    if (!bytes) {
        return false;
    }
    try {
        writeAtomically(path, *bytes);
    } catch (const CommonException& e) {
        m_presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")),
                          UiText::plain(e.message()), {});
        return false;
    }
    return true;
}

std::optional<QByteArray> XmlExportController::document(const XmlExportOptions& options) {
    const PassFile* file = m_database ? m_database() : nullptr;
    if (!file) {
        return std::nullopt;
    }
    try {
        const PassFileXmlWriter writer(m_protection, m_clock.now());
        return writer.write(*file, options);
    } catch (const CommonException& e) {
        m_presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")),
                          UiText::plain(e.message()), {});
        return std::nullopt;
    }
}

UiText XmlExportController::unencryptedWarning() {
    return UiText::key(QStringLiteral("export_unencrypted_warning"));
}

} // namespace keskor

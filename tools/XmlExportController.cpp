#include "tools/XmlExportController.h"

#include "core/shared/AtomicFile.h"
#include "core/shared/CommonException.h"
#include "tools/PassFileXmlWriter.h"

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

bool XmlExportController::exportToFile(const QString& path, const XmlExportOptions& options) {
    const PassFile* file = m_database ? m_database() : nullptr;
    if (!file) {
        return false;
    }
    try {
        const PassFileXmlWriter writer(m_protection, m_clock.now());
        writeAtomically(path, writer.write(*file, options));
    } catch (const CommonException& e) {
        m_presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")),
                          UiText::plain(e.message()), {});
        return false;
    }
    return true;
}

} // namespace keskor

#include "app/cli/CliRun.h"

#include "app/cli/CliContext.h"
#include "app/cli/CliUsageError.h"
#include "app/cli/EnterpriseCommands.h"
#include "app/cli/EntryPath.h"
#include "core/AppDelegate.h"
#include "core/DatabaseInfoHelper.h"
#include "core/shared/CommonException.h"
#include "core/shared/PassFile.h"
#include "core/shared/SecureBytes.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <unistd.h>

namespace keskor {

CliRun::CliRun(CliContext& context, const QCommandLineParser& parser, QStringList arguments)
    : m_context(context), m_parser(parser), m_arguments(std::move(arguments)) {}

int CliRun::intValue(const QString& option, int min, int max, int fallback) const {
    if (!m_parser.isSet(option)) {
        return fallback;
    }
    bool ok = false;
    const qlonglong value = m_parser.value(option).trimmed().toLongLong(&ok);
    if (!ok || value < min || value > max) {
        throw CliUsageError(QStringLiteral("--%1 takes a whole number from %2 to %3, not \"%4\".")
                                .arg(option)
                                .arg(min)
                                .arg(max)
                                .arg(m_parser.value(option)));
    }
    return static_cast<int>(value);
}

void CliRun::out(const QString& line) const {
    const QByteArray bytes = (line + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), m_context.streams().out);
}

void CliRun::write(QByteArrayView bytes) const {
    std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), m_context.streams().out);
}

void CliRun::outJson(const QJsonArray& array) const {
    out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
}

void CliRun::err(const QString& line) const {
    const QByteArray bytes = (line + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), m_context.streams().err);
}

void CliRun::confirm(const QString& line) const {
    if (!m_parser.isSet(QStringLiteral("quiet"))) {
        out(line);
    }
}

void CliRun::note(const QString& line) const {
    if (!m_parser.isSet(QStringLiteral("quiet"))) {
        err(line);
    }
}

QString CliRun::readSecret(const QString& prompt, bool confirm) const {
    const CliContext::Streams& s = m_context.streams();
    std::optional<QString> first =
        TerminalPresenter::readLine(s.in, s.err, prompt + u':' + u' ', true);
    if (!first) {
        throw CommonException(QStringLiteral("No %1 was given.").arg(prompt.toLower()));
    }
    if (confirm && ::isatty(fileno(s.in))) {
        std::optional<QString> second =
            TerminalPresenter::readLine(s.in, s.err, QStringLiteral("Repeat it: "), true);
        const bool same = second && *second == *first;
        if (second) {
            secureWipe(*second);
        }
        if (!same) {
            secureWipe(*first);
            throw CommonException(QStringLiteral("The two entries differ."));
        }
    }
    return *first;
}

namespace {

PassFile& open(CliContext& context, const QString& path, DatabaseController::OpenMode mode) {
    const DatabaseInfo info = DatabaseInfoHelper::localFile(path);
    if (!context.app().databases().openDatabase(info, false, nullptr, mode)) {
        throw CommonException(QStringLiteral("%1 was not opened.").arg(path));
    }
    SessionManager& session = context.app().mainManager().sessionManager;
    return *session.currentPassFile;
}

} // namespace

PassFile& CliRun::openDatabase(const QString& path) {
    if (EnterpriseCommands::isServerDatabase(path)) {
        return EnterpriseCommands::openServerDatabase(*this, path);
    }
    return open(m_context, path, DatabaseController::OpenMode::readWrite);
}

PassFile& CliRun::openToRead(const QString& path) {
    // A server database is fetched into memory only; nothing is written either way.
    if (EnterpriseCommands::isServerDatabase(path)) {
        return EnterpriseCommands::openServerDatabase(*this, path);
    }
    return open(m_context, path, DatabaseController::OpenMode::readOnly);
}

PassFile& CliRun::database() {
    SessionManager& session = m_context.app().mainManager().sessionManager;
    if (!session.currentPassFile) {
        throw CommonException(QStringLiteral("No database is open."));
    }
    return *session.currentPassFile;
}

void CliRun::saveDatabase() {
    if (!m_context.app().databases().saveSession(true)) {
        throw CommonException(QStringLiteral("The database was not saved."));
    }
    const auto& info = m_context.app().mainManager().sessionManager.currentDBInfo;
    if (info && info->location == Location::enterprise) {
        EnterpriseCommands::finishSave(*this);
    }
}

std::shared_ptr<Info2Item> CliRun::entry(const QString& path) {
    PassFile& file = database();
    if (m_parser.isSet(QStringLiteral("uuid"))) {
        const QString uuid = m_parser.value(QStringLiteral("uuid"));
        if (auto item = file.findItem(uuid)) {
            return item;
        }
        throw CommonException(QStringLiteral("No entry has the fingerprint %1.").arg(uuid));
    }
    if (path.isEmpty()) {
        throw CliUsageError(QStringLiteral("Name the entry by its path or with --uuid."));
    }
    return EntryPath::one(file, path);
}

} // namespace keskor

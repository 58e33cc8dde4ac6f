// keskor-enterprise-devserver: the reference enterprise server on this machine, to try the
// enterprise log-in, two-factor and shared databases without a real server.

#include "platform/ProcessHardening.h"
#include "testing/enterprise-server/DemoServerData.h"
#include "testing/enterprise-server/EnterpriseServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <cstdio>

using keskor::testing::EnterpriseServer;

namespace {

int fail(const QString& message) {
    QTextStream(stderr) << "keskor-enterprise-devserver: " << message << Qt::endl;
    return 1;
}

int addUser(EnterpriseServer& server, const QCommandLineParser& args) {
    if (!args.isSet(QStringLiteral("password-stdin"))) {
        return fail(QStringLiteral("--add-user needs --password-stdin"));
    }
    QTextStream in(stdin);
    const QString password = in.readLine();
    if (password.isEmpty()) {
        return fail(QStringLiteral("no password on standard input"));
    }
    bool rolesOk = false;
    const uint roles = args.value(QStringLiteral("roles")).toUInt(&rolesOk);
    if (!rolesOk) {
        return fail(QStringLiteral("--roles needs a decimal number"));
    }
    const QString name = args.value(QStringLiteral("add-user"));
    const std::optional<QString> id =
        server.users().addUser(name, password, args.value(QStringLiteral("fullname")), roles);
    if (!id) {
        return fail(QStringLiteral("the user \"%1\" exists already or cannot be made").arg(name));
    }
    keskor::testing::ServerUser user = *server.users().findById(*id);
    user.mustChangePassword = args.isSet(QStringLiteral("must-change-password"));
    user.twoFactorRequired = args.isSet(QStringLiteral("two-factor"));
    QString error;
    if (!server.users().update(user, &error)) {
        return fail(QStringLiteral("users.json not written: ") + error);
    }
    QTextStream(stdout) << "Added user \"" << name << "\" with id " << *id << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    keskor::ProcessHardening::disableCoreDumps();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("keskor-enterprise-devserver"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESKOR_VERSION));

    QCommandLineParser args;
    args.setApplicationDescription(
        QStringLiteral("A local Keskor enterprise server for trying and testing the client."));
    args.addHelpOption();
    args.addVersionOption();
    args.addOptions({
        {QStringLiteral("port"), QStringLiteral("TCP port (default 25016)."), QStringLiteral("P"),
         QStringLiteral("25016")},
        {QStringLiteral("data"), QStringLiteral("Folder of users, databases and certificate."),
         QStringLiteral("DIR")},
        {QStringLiteral("listen"), QStringLiteral("Address to listen on (default 127.0.0.1)."),
         QStringLiteral("ADDRESS"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("tls"), QStringLiteral("Speak TLS, with a self-signed certificate.")},
        {QStringLiteral("add-user"), QStringLiteral("Add a user and exit."),
         QStringLiteral("NAME")},
        {QStringLiteral("password-stdin"),
         QStringLiteral("Read the new user's password from the first line of standard input.")},
        {QStringLiteral("fullname"), QStringLiteral("Full name of the new user."),
         QStringLiteral("TEXT")},
        {QStringLiteral("roles"), QStringLiteral("Role bits of the new user (decimal)."),
         QStringLiteral("N"), QStringLiteral("0")},
        {QStringLiteral("must-change-password"),
         QStringLiteral("The new user must change the password at the first log-in.")},
        {QStringLiteral("two-factor"),
         QStringLiteral("The new user must set up two-factor log-in.")},
    });
    args.process(app);

    if (!args.isSet(QStringLiteral("data"))) {
        return fail(QStringLiteral("--data DIR is required"));
    }
    bool portOk = false;
    const uint port = args.value(QStringLiteral("port")).toUInt(&portOk);
    if (!portOk || port > 65535) {
        return fail(QStringLiteral("--port needs a number from 0 to 65535"));
    }
    const QHostAddress address(args.value(QStringLiteral("listen")));
    if (address.isNull()) {
        return fail(QStringLiteral("--listen needs an IP address"));
    }

    keskor::testing::EnterpriseServerOptions options;
    options.dataFolder = QDir(args.value(QStringLiteral("data"))).absolutePath();
    options.tls = args.isSet(QStringLiteral("tls"));
    options.address = address;
    EnterpriseServer server(options);

    QString error;
    if (args.isSet(QStringLiteral("add-user"))) {
        // Read the folder without listening: a running server may hold the port.
        keskor::testing::ServerUserStore& users = server.users();
        if (!QDir().mkpath(options.dataFolder) || !users.load(&error)) {
            return fail(QStringLiteral("users.json: ") + error);
        }
        return addUser(server, args);
    }
    if (!server.start(static_cast<quint16>(port), &error)) {
        return fail(error);
    }
    QTextStream out(stdout);
    for (const QString& line : keskor::testing::DemoServerData::seedIfEmpty(server, &error)) {
        out << line << Qt::endl;
    }
    if (!error.isEmpty()) {
        return fail(QStringLiteral("demo data: ") + error);
    }
    out << "Listening on " << address.toString() << ':' << server.serverPort()
        << (options.tls ? " with TLS" : "") << "; data in " << options.dataFolder << Qt::endl;
    if (options.tls) {
        out << "Certificate SHA-256: " << server.certificateSha256().toHex(':') << Qt::endl;
    }
    out << "In Keskor: Enterprise server, address " << address.toString() << ", port "
        << server.serverPort() << ", protocol version 3" << (options.tls ? ", SSL on" : "") << '.'
        << Qt::endl;
    return app.exec();
}

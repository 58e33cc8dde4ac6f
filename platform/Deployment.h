#pragma once
// The values that belong to one deployment of the program rather than to its code: service
// hosts and the client identifiers registered with each cloud provider. Compiled-in defaults
// point at the public services; a JSON file named by KESKOR_DEPLOYMENT overrides any of them,
// so tests and private deployments point the program elsewhere. Loaded once by each program's
// composition root and handed to whatever needs it.

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QUrl>

namespace keskor {

class Deployment {
public:
    /// Microsoft identity platform and Graph.
    struct OneDrive {
        QString clientId;
        /// The multi-tenant authority; "/oauth2/v2.0/authorize" and "/oauth2/v2.0/token" lie
        /// below it.
        QUrl authority = QUrl(QStringLiteral("https://login.microsoftonline.com/common"));
        /// Ends with "/".
        QUrl graphEndpoint = QUrl(QStringLiteral("https://graph.microsoft.com/"));
    };
    struct GDrive {
        QString clientId;
        QString clientSecret;
        QUrl authorizeUrl = QUrl(QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth"));
        QUrl tokenUrl = QUrl(QStringLiteral("https://oauth2.googleapis.com/token"));
        /// Drive v3, the upload routes and the user information all lie below this host.
        QUrl apiHost = QUrl(QStringLiteral("https://www.googleapis.com"));
    };
    struct Dropbox {
        QString appKey;
        QUrl authorizeUrl = QUrl(QStringLiteral("https://www.dropbox.com/oauth2/authorize"));
        QUrl apiHost = QUrl(QStringLiteral("https://api.dropboxapi.com"));
        QUrl contentHost = QUrl(QStringLiteral("https://content.dropboxapi.com"));
    };
    struct Box {
        QString clientId;
        QString clientSecret;
        QUrl authorizeHost = QUrl(QStringLiteral("https://account.box.com"));
        QUrl apiHost = QUrl(QStringLiteral("https://api.box.com"));
        QUrl uploadHost = QUrl(QStringLiteral("https://upload.box.com"));
    };
    struct HiDrive {
        QString clientId;
        QString clientSecret;
        QUrl accountHost = QUrl(QStringLiteral("https://my.hidrive.com"));
        QUrl apiHost = QUrl(QStringLiteral("https://api.hidrive.strato.com"));
    };
    /// The breached-password range service.
    struct Pwned {
        QUrl baseUrl = QUrl(QStringLiteral("https://api.pwnedpasswords.com"));
        QByteArray apiKey;
    };

    OneDrive oneDrive;
    GDrive gDrive;
    Dropbox dropbox;
    Box box;
    HiDrive hiDrive;
    Pwned pwned;

    /// The name of the environment variable that names the override file.
    static constexpr const char* kEnvironmentVariable = "KESKOR_DEPLOYMENT";

    /// The compiled-in defaults, overridden by the file KESKOR_DEPLOYMENT names when it is set.
    /// Throws CommonException (naming the file and the member) for a file that cannot be read,
    /// is not a JSON object, or holds an unknown member, a non-text value or a URL that is not
    /// an absolute http(s) address: a deployment with a typo must not quietly talk to the
    /// public services.
    static Deployment fromEnvironment(const QProcessEnvironment& env);
    /// The defaults overridden by one JSON document, e.g.
    /// {"gDrive": {"clientId": "...", "apiHost": "http://127.0.0.1:8080"}}.
    static Deployment fromJson(const QByteArray& json, const QString& source);
};

} // namespace keskor

#include "platform/Deployment.h"

#include "core/shared/CommonException.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <functional>
#include <map>

namespace keskor {

namespace {

using Setter = std::function<void(Deployment&, const QString& value, const QString& where)>;
/// section -> member -> setter
using Table = std::map<QString, std::map<QString, Setter>>;

QUrl serviceUrl(const QString& value, const QString& where) {
    const QUrl url(value, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("https") && scheme != QLatin1String("http")) ||
        url.host().isEmpty()) {
        throw CommonException(QStringLiteral("%1 is not an http(s) address").arg(where));
    }
    return url;
}

template <typename Section> Setter text(Section Deployment::*section, QString Section::*field) {
    return [section, field](Deployment& d, const QString& value, const QString&) {
        d.*section.*field = value;
    };
}

template <typename Section> Setter url(Section Deployment::*section, QUrl Section::*field) {
    return [section, field](Deployment& d, const QString& value, const QString& where) {
        d.*section.*field = serviceUrl(value, where);
    };
}

const Table& members() {
    using D = Deployment;
    static const Table table{
        {QStringLiteral("oneDrive"),
         {{QStringLiteral("clientId"), text(&D::oneDrive, &D::OneDrive::clientId)},
          {QStringLiteral("authority"), url(&D::oneDrive, &D::OneDrive::authority)},
          {QStringLiteral("graphEndpoint"), url(&D::oneDrive, &D::OneDrive::graphEndpoint)}}},
        {QStringLiteral("gDrive"),
         {{QStringLiteral("clientId"), text(&D::gDrive, &D::GDrive::clientId)},
          {QStringLiteral("clientSecret"), text(&D::gDrive, &D::GDrive::clientSecret)},
          {QStringLiteral("authorizeUrl"), url(&D::gDrive, &D::GDrive::authorizeUrl)},
          {QStringLiteral("tokenUrl"), url(&D::gDrive, &D::GDrive::tokenUrl)},
          {QStringLiteral("apiHost"), url(&D::gDrive, &D::GDrive::apiHost)}}},
        {QStringLiteral("dropbox"),
         {{QStringLiteral("appKey"), text(&D::dropbox, &D::Dropbox::appKey)},
          {QStringLiteral("authorizeUrl"), url(&D::dropbox, &D::Dropbox::authorizeUrl)},
          {QStringLiteral("apiHost"), url(&D::dropbox, &D::Dropbox::apiHost)},
          {QStringLiteral("contentHost"), url(&D::dropbox, &D::Dropbox::contentHost)}}},
        {QStringLiteral("box"),
         {{QStringLiteral("clientId"), text(&D::box, &D::Box::clientId)},
          {QStringLiteral("clientSecret"), text(&D::box, &D::Box::clientSecret)},
          {QStringLiteral("authorizeHost"), url(&D::box, &D::Box::authorizeHost)},
          {QStringLiteral("apiHost"), url(&D::box, &D::Box::apiHost)},
          {QStringLiteral("uploadHost"), url(&D::box, &D::Box::uploadHost)}}},
        {QStringLiteral("hiDrive"),
         {{QStringLiteral("clientId"), text(&D::hiDrive, &D::HiDrive::clientId)},
          {QStringLiteral("clientSecret"), text(&D::hiDrive, &D::HiDrive::clientSecret)},
          {QStringLiteral("accountHost"), url(&D::hiDrive, &D::HiDrive::accountHost)},
          {QStringLiteral("apiHost"), url(&D::hiDrive, &D::HiDrive::apiHost)}}},
        {QStringLiteral("pwned"),
         {{QStringLiteral("baseUrl"), url(&D::pwned, &D::Pwned::baseUrl)},
          {QStringLiteral("apiKey"), [](Deployment& d, const QString& value,
                                        const QString&) { d.pwned.apiKey = value.toUtf8(); }}}},
    };
    return table;
}

} // namespace

Deployment Deployment::fromEnvironment(const QProcessEnvironment& env) {
    const QString path = env.value(QString::fromLatin1(kEnvironmentVariable));
    if (path.isEmpty()) {
        return Deployment{};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw CommonException(
            QStringLiteral("%1: cannot read the deployment file %2: %3")
                .arg(QString::fromLatin1(kEnvironmentVariable), path, file.errorString()));
    }
    // A deployment file is a few hundred bytes; a huge one is a wrong path, not a deployment.
    constexpr qint64 kLimit = 1024 * 1024;
    const QByteArray json = file.read(kLimit + 1);
    if (json.size() > kLimit) {
        throw CommonException(QStringLiteral("%1 is too large for a deployment file").arg(path));
    }
    return fromJson(json, path);
}

Deployment Deployment::fromJson(const QByteArray& json, const QString& source) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        throw CommonException(QStringLiteral("%1 is not a JSON object: %2")
                                  .arg(source, error.error != QJsonParseError::NoError
                                                   ? error.errorString()
                                                   : QStringLiteral("not an object")));
    }
    Deployment deployment;
    const QJsonObject root = document.object();
    for (auto section = root.begin(); section != root.end(); ++section) {
        const auto known = members().find(section.key());
        if (known == members().end()) {
            throw CommonException(
                QStringLiteral("%1: unknown service \"%2\"").arg(source, section.key()));
        }
        if (!section.value().isObject()) {
            throw CommonException(
                QStringLiteral("%1: \"%2\" is not an object").arg(source, section.key()));
        }
        const QJsonObject values = section.value().toObject();
        for (auto member = values.begin(); member != values.end(); ++member) {
            const QString where =
                QStringLiteral("%1: \"%2.%3\"").arg(source, section.key(), member.key());
            const auto setter = known->second.find(member.key());
            if (setter == known->second.end()) {
                throw CommonException(QStringLiteral("%1 is not a known setting").arg(where));
            }
            if (!member.value().isString()) {
                throw CommonException(QStringLiteral("%1 is not a text").arg(where));
            }
            setter->second(deployment, member.value().toString(), where);
        }
    }
    return deployment;
}

} // namespace keskor

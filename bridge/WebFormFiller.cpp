#include "bridge/WebFormFiller.h"

#include "bridge/EntryUrlMatcher.h"
#include "bridge/WebFormCodec.h"

namespace keskor {

WebFormFiller::Key WebFormFiller::chooseKey(const std::optional<QString>& uuid,
                                            const std::optional<QString>& loadedFingerprint,
                                            const std::optional<QString>& loadedUrl,
                                            const QString& url) {
    if (uuid) {
        return {*uuid, KeyKind::fingerprint};
    }
    if (loadedFingerprint && loadedUrl && *loadedUrl == url) {
        return {*loadedFingerprint, KeyKind::fingerprint};
    }
    return {url, KeyKind::url};
}

std::shared_ptr<Info2Item> WebFormFiller::chooseEntry(const PassFile& file, const Key& key) {
    if (key.kind == KeyKind::fingerprint) {
        return file.findItem(key.text);
    }
    const auto matches = EntryUrlMatcher::findMatches(file.items(), key.text);
    return matches.empty() ? nullptr : matches.front();
}

SocketXMLForms WebFormFiller::fillForms(SocketXMLForms forms, const Info2Item& entry) {
    const QString password = entry.password().value_or(QString());
    const QString userName = entry.userName().value_or(QString());
    for (auto& form : forms.subForms) {
        for (auto& element : form.subElements) {
            element.stringValue = element.isPassword() ? password : userName;
        }
    }
    return forms;
}

QVariantMap WebFormFiller::fill(const PassFile* file, const Key& key, const QString& xmlValue) {
    if (file == nullptr) {
        return {};
    }
    const auto entry = chooseEntry(*file, key);
    if (!entry) {
        return {};
    }
    const auto forms =
        fillForms(SocketXMLForms::fromDocument(WebFormCodec::decodeXmlValue(xmlValue)), *entry);
    return {
        {QStringLiteral("xml"), WebFormCodec::encodeXmlValue(forms.xmlString())},
        {QStringLiteral("url"), entry->url().value_or(QString())},
        {QStringLiteral("encoding"), QStringLiteral("base64")},
    };
}

} // namespace keskor

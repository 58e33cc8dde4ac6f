#include "core/EntryKinds.h"

namespace keskor {

namespace {

QString k(const char* key) {
    return QString::fromLatin1(key);
}

EntryKind kind(EntryType type, const char* name, const char* user, const char* password,
               const char* url, QList<EntryKind::Field> fields = {}, bool files = false) {
    return EntryKind{type, k(name), k(user), k(password), k(url), std::move(fields), files};
}

const QList<EntryKind>& table() {
    static const QList<EntryKind> kinds{
        kind(EntryType::Password, "entry_type_password", "username", "password", "url"),
        kind(EntryType::CreditCard, "entry_type_credit_card", "card_holder", "pin", "url",
             {{QStringLiteral("Card number"), false},
              {QStringLiteral("Valid until"), false},
              {QStringLiteral("Security code"), true}}),
        kind(EntryType::License, "entry_type_license", "licensee", "license_key", "url",
             {{QStringLiteral("Product"), false}, {QStringLiteral("Version"), false}}),
        kind(EntryType::Identity, "entry_type_identity", "full_name", "", "url",
             {{QStringLiteral("E-mail"), false},
              {QStringLiteral("Phone"), false},
              {QStringLiteral("Address"), false},
              {QStringLiteral("Birthday"), false}}),
        kind(EntryType::Information, "entry_type_information", "", "", ""),
        kind(EntryType::ECCard, "entry_type_ec_card", "account_holder", "pin", "",
             {{QStringLiteral("IBAN"), false}, {QStringLiteral("BIC"), false}}),
        kind(EntryType::EncryptedFile, "entry_type_encrypted_file", "", "password", "", {}, true),
        kind(EntryType::Document, "entry_type_document", "", "", "", {}, true),
        kind(EntryType::RDP, "entry_type_rdp", "username", "password", "host"),
        kind(EntryType::TeamViewer, "entry_type_teamviewer", "", "password", "partner_id"),
        kind(EntryType::Putty, "entry_type_putty", "username", "password", "host",
             {{QStringLiteral("Port"), false}}),
        kind(EntryType::Certificate, "entry_type_certificate", "", "password", "", {}, true),
    };
    return kinds;
}

} // namespace

const EntryKind& EntryKinds::of(EntryType type) {
    static const EntryKind unknown =
        kind(EntryType::Unknown, "entry_type_unknown", "username", "password", "url");
    static const EntryKind folder = kind(EntryType::Folder, "entry_type_folder", "", "", "");
    if (type == EntryType::Folder) {
        return folder;
    }
    for (const EntryKind& k : table()) {
        if (k.type == type) {
            return k;
        }
    }
    return unknown;
}

const EntryKind& EntryKinds::ofRaw(int rawType) {
    return of(EntryTypes::fromRaw(rawType).value_or(EntryType::Unknown));
}

const QList<EntryKind>& EntryKinds::creatable() {
    return table();
}

} // namespace keskor

#include "app/cli/EntryFields.h"

#include "app/cli/EntryCommands.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/Info2Item.h"

namespace keskor {

namespace {

QString dateText(double day) {
    return DateTimeHelper::parseDelphiDate(day).toString(Qt::ISODate);
}

} // namespace

QList<EntryField> EntryFields::of(const Info2Item& item) {
    QList<EntryField> fields{
        {QStringLiteral("Description"), item.description(), false},
        {QStringLiteral("Type"), EntryCommands::typeName(item.isFolder ? 0 : item.type), false},
        {QStringLiteral("UUID"), item.fingerprint(), false}};
    const auto addText = [&](const QString& name, ItemText text, bool isProtected = false) {
        if (const std::optional<QString> value = item.text(text)) {
            fields.append({name, *value, isProtected});
        }
    };
    addText(QStringLiteral("UserName"), ItemText::UserName);
    addText(QStringLiteral("Password"), ItemText::Password, true);
    addText(QStringLiteral("URL"), ItemText::Url);
    addText(QStringLiteral("Comment"), ItemText::Comment);
    addText(QStringLiteral("Category"), ItemText::Category);
    addText(QStringLiteral("Tags"), ItemText::Tags);
    if (item.expiryDate != 0.0) {
        fields.append({QStringLiteral("Expires"), dateText(item.expiryDate), false});
    }
    if (item.lastModified != 0.0) {
        fields.append({QStringLiteral("Modified"), dateText(item.lastModified), false});
    }
    for (const QString& url : item.additionalUrls()) {
        fields.append({QStringLiteral("AdditionalURL"), url, false});
    }
    for (const PswField& field : item.customFields()) {
        fields.append({field.name, field.value, !field.visible});
    }
    return fields;
}

std::optional<QString> EntryFields::value(const Info2Item& item, const QString& name) {
    const QString wanted = name.isEmpty() ? QStringLiteral("Password") : name;
    for (const EntryField& field : of(item)) {
        if (field.name.compare(wanted, Qt::CaseInsensitive) == 0) {
            return field.value;
        }
    }
    return std::nullopt;
}

} // namespace keskor

#include "ui/EntryIcons.h"

#include "core/EntryType.h"
#include "core/shared/Info2Item.h"

#include <QApplication>
#include <QHash>
#include <QPixmap>
#include <QStyle>

namespace keskor {

namespace {

QIcon themed(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name),
                            QApplication::style()->standardIcon(fallback));
}

} // namespace

QIcon EntryIcons::ofType(int rawType) {
    // Looking an icon up in the theme reads folders on disk; every row asks for one.
    static QHash<int, QIcon> cache;
    const auto cached = cache.constFind(rawType);
    if (cached != cache.cend()) {
        return *cached;
    }
    const QIcon icon = themedOfType(rawType);
    cache.insert(rawType, icon);
    return icon;
}

QIcon EntryIcons::themedOfType(int rawType) {
    switch (EntryTypes::fromRaw(rawType).value_or(EntryType::Unknown)) {
    case EntryType::Folder:
        return themed("folder", QStyle::SP_DirIcon);
    case EntryType::CreditCard:
    case EntryType::ECCard:
        return themed("wallet-open", QStyle::SP_DriveHDIcon);
    case EntryType::License:
    case EntryType::Certificate:
        return themed("application-certificate", QStyle::SP_FileDialogDetailedView);
    case EntryType::Identity:
        return themed("user-identity", QStyle::SP_DirHomeIcon);
    case EntryType::Information:
        return themed("dialog-information", QStyle::SP_MessageBoxInformation);
    case EntryType::EncryptedFile:
    case EntryType::Document:
        return themed("text-x-generic", QStyle::SP_FileIcon);
    case EntryType::RDP:
    case EntryType::TeamViewer:
    case EntryType::Putty:
        return themed("network-server", QStyle::SP_ComputerIcon);
    case EntryType::Password:
    case EntryType::Unknown:
        break;
    }
    return themed("dialog-password", QStyle::SP_DialogApplyButton);
}

QList<QIcon> EntryIcons::builtIn() {
    QList<QIcon> icons;
    for (int type = 0; type <= int(EntryType::Certificate); ++type) {
        icons.append(ofType(type));
    }
    return icons;
}

QIcon EntryIcons::of(const Info2Item& item) {
    if (item.icon.custom && !item.icon.image.isEmpty()) {
        QPixmap pixmap;
        if (pixmap.loadFromData(item.icon.image)) {
            return QIcon(pixmap);
        }
    }
    static const QList<QIcon> icons = builtIn();
    if (item.icon.index >= 0 && item.icon.index < icons.size()) {
        return icons[item.icon.index];
    }
    return ofType(item.isFolder ? 0 : item.type);
}

} // namespace keskor

#include "core/Location.h"

namespace keskor {

std::optional<Location> Locations::fromRaw(int raw) {
    if (raw < 0 || raw > 9) {
        return std::nullopt;
    }
    return static_cast<Location>(raw);
}

QString Locations::workingFolderName(Location location) {
    switch (location) {
    case Location::localDevice:
    case Location::protectedDevice:
        return QString();
    case Location::backupDevice:
        return QStringLiteral("Backups");
    case Location::enterprise:
        return QStringLiteral("Network");
    case Location::dropbox:
        return QStringLiteral("Dropbox");
    case Location::gDrive:
        return QStringLiteral("GDrive");
    case Location::oneDrive:
        return QStringLiteral("OneDrive");
    case Location::box:
        return QStringLiteral("Box");
    case Location::hiDrive:
        return QStringLiteral("HiDrive");
    case Location::ftp:
        return QStringLiteral("Internet");
    }
    return QString();
}

QString Locations::scheme(Location location) {
    switch (location) {
    case Location::localDevice:
    case Location::protectedDevice:
        return QStringLiteral("local");
    case Location::backupDevice:
        return QStringLiteral("backup");
    case Location::enterprise:
        return QStringLiteral("enterprise");
    case Location::dropbox:
        return QStringLiteral("dropbox");
    case Location::gDrive:
        return QStringLiteral("gDrive");
    case Location::oneDrive:
        return QStringLiteral("oneDrive");
    case Location::box:
        return QStringLiteral("box");
    case Location::hiDrive:
        return QStringLiteral("hiDrive");
    case Location::ftp:
        return QStringLiteral("ftp");
    }
    return QString();
}

bool Locations::isCloud(Location location) {
    switch (location) {
    case Location::dropbox:
    case Location::gDrive:
    case Location::oneDrive:
    case Location::box:
    case Location::hiDrive:
        return true;
    default:
        return false;
    }
}

} // namespace keskor

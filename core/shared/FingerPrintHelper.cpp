#include "core/shared/FingerPrintHelper.h"

#include <QUuid>

namespace keskor {

QString FingerPrintHelper::getNewFingerprint() {
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

} // namespace keskor

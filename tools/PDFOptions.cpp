#include "tools/PDFOptions.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QUrl>
#include <algorithm>

namespace keskor {

PDFOptions PDFOptions::forDatabase(const Info2Item* root, const QString& databaseName) {
    PDFOptions options;
    options.printEntries = root;
    // Names may carry percent-escapes (remote stores); the extension is no part of the title.
    options.title = QFileInfo(QUrl::fromPercentEncoding(databaseName.toUtf8())).completeBaseName();
    return options;
}

QList<int> PDFOptions::allFields() {
    QList<int> fields;
    for (int i = 0; i < kFieldCount; ++i) {
        fields.append(i);
    }
    return fields;
}

QFont PDFOptions::systemFont(int points, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(points);
    font.setWeight(weight);
    font.setItalic(false);
    return font;
}

QFont PDFOptions::inPageUnits(const QFont& font) {
    QFont scaled = font;
    const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
    scaled.setPixelSize(std::max(1, qRound(points)));
    // Unhinted outlines measure the same at every scale, so text measured here fits when
    // painted at the printer's resolution. Without ligatures the PDF's text can be searched
    // and copied as it was typed ("fi" stays two letters).
    scaled.setHintingPreference(QFont::PreferNoHinting);
    scaled.setStyleStrategy(QFont::StyleStrategy(QFont::ForceOutline | QFont::PreferNoShaping));
    return scaled;
}

QSizeF PDFOptions::pageSize() const {
    return isLandscape() ? QSizeF(kPageLongSide, kPageShortSide)
                         : QSizeF(kPageShortSide, kPageLongSide);
}

QMarginsF PDFOptions::marginsInPoints() const {
    const auto points = [](int mm) { return std::max(0, mm) * kPointsPerMillimetre; };
    return QMarginsF(points(marginLeft), points(marginTop), points(marginRight),
                     points(marginBottom));
}

} // namespace keskor

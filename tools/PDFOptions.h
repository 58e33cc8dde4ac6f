#pragma once
// What the print dialog collected: which entries, in which order, which of their fields, and
// how the pages look. The page geometry is in points; margins are kept in millimetres as the
// user typed them.

#include "core/shared/Info2Item.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QMarginsF>
#include <QSizeF>
#include <QString>
#include <memory>
#include <vector>

namespace keskor {

/// The order-by pop-up, in menu order.
enum class PrintSortKey : int {
    description = 0,
    importance,
    password,
    modificationdate,
    expirationdate,
    username,
    url,
    comment,
    category
};

enum class PrintOrderDirection : int { ascending = 0, descending = 1 };

/// The field check boxes, in dialog order.
enum class PrintField : int {
    description = 0,
    type,
    url,
    username,
    password,
    lastModified,
    expiryDate,
    category,
    importance,
    customFields,
    comment,
    lastAccessed,
    tans,
    attachments,
    tags,
    author
};

struct PDFOptions {
    static constexpr int kFieldCount = 16;
    static constexpr double kPointsPerMillimetre = 2.834645669291339;
    static constexpr double kPageShortSide = 612.0;
    static constexpr double kPageLongSide = 792.0;

    /// The folder whose entries are printed; null stands for the database's root.
    const Info2Item* printEntries = nullptr;
    /// All entries of the folder; false: only `selectedEntries`.
    bool isAll = true;
    bool includeSubFolders = true;
    std::vector<std::shared_ptr<Info2Item>> selectedEntries;
    PrintSortKey orderBy = PrintSortKey::importance;
    PrintOrderDirection orderDirection = PrintOrderDirection::ascending;
    /// Ticked field numbers, ascending.
    QList<int> printFields = allFields();
    QString title;
    /// 0 portrait; any other value landscape.
    int orientation = 0;
    int marginLeft = 25;
    int marginRight = 25;
    int marginTop = 25;
    int marginBottom = 15;
    QFont titleFont = systemFont(18, QFont::Normal);
    QColor titleFontColor = Qt::black;
    QFont folderFont = systemFont(14, QFont::Medium);
    QColor folderFontColor = Qt::black;
    QFont entryFont = systemFont(13, QFont::Normal);
    QColor entryFontColor = Qt::black;

    /// A new record for a database of this file name ("Private.pswd" gives "Private").
    static PDFOptions forDatabase(const Info2Item* root, const QString& databaseName);
    static QList<int> allFields();
    static QFont systemFont(int points, QFont::Weight weight);
    /// The font sized in painter units of one point: pages are painted in points and scaled to
    /// the device, and a font sized in points would be scaled a second time by the device's
    /// resolution.
    static QFont inPageUnits(const QFont& font);

    bool prints(PrintField field) const { return printFields.contains(static_cast<int>(field)); }
    bool isLandscape() const noexcept { return orientation != 0; }
    /// 612 × 792 points, or 792 × 612 in landscape.
    QSizeF pageSize() const;
    QMarginsF marginsInPoints() const;
};

} // namespace keskor

#include "tools/PrintViewController.h"

#include "core/EntryBrowser.h"
#include "core/shared/AtomicFile.h"
#include "core/shared/CommonException.h"

#include <QBuffer>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <optional>

namespace keskor {

namespace {

std::optional<EntryBrowser::Column> listColumn(PrintSortKey key) {
    switch (key) {
    case PrintSortKey::description:
        return EntryBrowser::Column::Description;
    case PrintSortKey::username:
        return EntryBrowser::Column::UserName;
    case PrintSortKey::url:
        return EntryBrowser::Column::Url;
    case PrintSortKey::modificationdate:
        return EntryBrowser::Column::Modified;
    case PrintSortKey::expirationdate:
        return EntryBrowser::Column::Expiry;
    default:
        return std::nullopt;
    }
}

void collectInto(const Info2Item& folder, bool includeSubFolders, PrintViewController::Items& out) {
    for (const auto& child : folder.subItems()) {
        if (child->isDeleted) {
            continue;
        }
        if (child->isFolder) {
            if (includeSubFolders) {
                collectInto(*child, true, out);
            }
        } else {
            out.push_back(child);
        }
    }
}

void addFolders(const Info2Item& folder, int depth, QList<FolderSelectMenuItem>& out) {
    for (const auto& child : folder.subItems()) {
        if (child->isFolder && !child->isDeleted) {
            out.append({child.get(), child->fingerprint(), child->description(), depth});
            addFolders(*child, depth + 1, out);
        }
    }
}

QPageLayout pageLayout(const PDFOptions& options) {
    // The page size is always given upright; the orientation turns it.
    return QPageLayout(
        QPageSize(QSizeF(PDFOptions::kPageShortSide, PDFOptions::kPageLongSide), QPageSize::Point),
        options.isLandscape() ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

} // namespace

PrintViewController::PrintViewController(Presenter& presenter, TextLookup text, const Clock& clock,
                                         DatabaseAccess database, QString databasePath,
                                         PDFOptions options)
    : m_presenter(presenter), m_text(std::move(text)), m_clock(clock),
      m_database(std::move(database)), m_databasePath(std::move(databasePath)),
      m_options(std::move(options)) {
    rebuild();
}

QList<FolderSelectMenuItem> PrintViewController::folderPopup() const {
    QList<FolderSelectMenuItem> items;
    const PassFile* file = m_database ? m_database() : nullptr;
    if (file) {
        items.append({&file->root(), QString(), QString(), 0});
        addFolders(file->root(), 1, items);
    }
    return items;
}

int PrintViewController::marginFromField(const QString& field) {
    bool ok = false;
    const int value = field.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

PrintViewController::Items PrintViewController::collect(const Info2Item& folder,
                                                        bool includeSubFolders) {
    Items out;
    collectInto(folder, includeSubFolders, out);
    return out;
}

void PrintViewController::sort(Items& items, PrintSortKey key, PrintOrderDirection direction) {
    const bool ascending = direction == PrintOrderDirection::ascending;
    if (const auto column = listColumn(key)) {
        EntryBrowser::sort(items, *column, ascending);
        return;
    }
    if (key == PrintSortKey::importance) {
        std::stable_sort(items.begin(), items.end(), [ascending](const auto& a, const auto& b) {
            return ascending ? a->importance < b->importance : b->importance < a->importance;
        });
        return;
    }
    // The texts the list has no column for, compared as the list compares its texts: folded
    // once, then plainly.
    const ItemText field = key == PrintSortKey::password  ? ItemText::Password
                           : key == PrintSortKey::comment ? ItemText::Comment
                                                          : ItemText::Category;
    std::vector<std::pair<QString, std::shared_ptr<Info2Item>>> keyed;
    keyed.reserve(items.size());
    for (auto& item : items) {
        const std::optional<QString> value = item->text(field);
        keyed.emplace_back(value ? value->toCaseFolded() : QString(), std::move(item));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [ascending](const auto& a, const auto& b) {
        return ascending ? a.first < b.first : b.first < a.first;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        items[i] = std::move(keyed[i].second);
    }
}

PrintViewController::Items PrintViewController::gather() const {
    const PassFile* file = m_database ? m_database() : nullptr;
    if (!file) {
        return {};
    }
    Items items;
    if (m_options.isAll) {
        const Info2Item& folder = m_options.printEntries ? *m_options.printEntries : file->root();
        items = collect(folder, m_options.includeSubFolders);
    } else {
        for (const auto& entry : m_options.selectedEntries) {
            if (entry && !entry->isFolder) {
                items.push_back(entry);
            }
        }
    }
    sort(items, m_options.orderBy, m_options.orderDirection);
    return items;
}

void PrintViewController::rebuild() {
    m_entries = gather();
    const QString created =
        QLocale::c().toString(m_clock.now(), QStringLiteral("MM/dd/yyyy hh:mm:ss AP"));
    const PDFPageView prototype(m_options, m_databasePath, created, m_text(QStringLiteral("page")));
    std::vector<PrintEntryView> views;
    views.reserve(m_entries.size());
    for (const auto& entry : m_entries) {
        views.push_back(PrintEntryView::forEntry(*entry, m_options.printFields, m_text,
                                                 m_options.entryFont, m_options.entryFontColor));
    }
    m_pages = PDFPageCollection(prototype, std::move(views));
}

void PrintViewController::onPasswordForAllOrFolder(bool isAll) {
    m_options.isAll = isAll;
    rebuild();
}

void PrintViewController::onSelectFolder(const Info2Item* folder) {
    m_options.printEntries = folder;
    rebuild();
}

void PrintViewController::onIncludeSubFolders(bool include) {
    m_options.includeSubFolders = include;
    rebuild();
}

void PrintViewController::onOrderByPopup(PrintSortKey key) {
    m_options.orderBy = key;
    rebuild();
}

void PrintViewController::onDirectionPopup(PrintOrderDirection direction) {
    m_options.orderDirection = direction;
    rebuild();
}

void PrintViewController::onPrintFieldsChange(const QList<int>& fields) {
    QList<int> ticked;
    for (int field : fields) {
        if (field >= 0 && field < PDFOptions::kFieldCount && !ticked.contains(field)) {
            ticked.append(field);
        }
    }
    std::sort(ticked.begin(), ticked.end());
    m_options.printFields = ticked;
    rebuild();
}

void PrintViewController::onOrientation(int orientation) {
    m_options.orientation = orientation == 0 ? 0 : 1;
    rebuild();
}

void PrintViewController::onChangeFont(FontTarget target, const QFont& font, const QColor& color) {
    switch (target) {
    case FontTarget::title:
        m_options.titleFont = font;
        m_options.titleFontColor = color;
        break;
    case FontTarget::folder:
        m_options.folderFont = font;
        m_options.folderFontColor = color;
        break;
    case FontTarget::entry:
        m_options.entryFont = font;
        m_options.entryFontColor = color;
        break;
    }
    rebuild();
}

void PrintViewController::onLayout(const PrintLayoutFields& fields) {
    if (!fields.title.isEmpty()) {
        m_options.title = fields.title;
    }
    m_options.marginLeft = marginFromField(fields.marginLeft);
    m_options.marginRight = marginFromField(fields.marginRight);
    m_options.marginTop = marginFromField(fields.marginTop);
    m_options.marginBottom = marginFromField(fields.marginBottom);
    rebuild();
}

void PrintViewController::onRefresh() {
    rebuild();
}

void PrintViewController::onZoom(double zoom) {
    m_zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
}

QByteArray PrintViewController::pdfDocument() const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Keskor"));
        writer.setTitle(m_options.title);
        if (!writer.setPageLayout(pageLayout(m_options)) || !m_pages.paintTo(writer)) {
            throw CommonException(QStringLiteral("The PDF document could not be made."));
        }
    }
    return bytes;
}

bool PrintViewController::onExport(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    try {
        const QByteArray document = pdfDocument();
        QString error;
        // The pages carry passwords: only the owner may read the file.
        if (!AtomicFile::write(path, document, &error,
                               QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            throw CommonException(
                QStringLiteral("The PDF file could not be written: %1").arg(error));
        }
    } catch (const CommonException& e) {
        fail(e.message());
        return false;
    }
    return true;
}

bool PrintViewController::onPrint(QPagedPaintDevice& printer) {
    printer.setPageLayout(pageLayout(m_options));
    if (!m_pages.paintTo(printer)) {
        fail(QStringLiteral("The document could not be printed."));
        return false;
    }
    return true;
}

QImage PrintViewController::renderPage(int index, double scale) const {
    if (index < 0 || index >= m_pages.count() || scale <= 0) {
        return {};
    }
    const QSizeF size = m_pages.pages()[std::size_t(index)].pageSize() * scale;
    QImage image(size.toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(scale, scale);
    m_pages.paintPage(index, painter);
    return image;
}

void PrintViewController::fail(const QString& message) {
    m_presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")),
                      UiText::plain(message), {});
}

UiText PrintViewController::unencryptedWarning() {
    return UiText::key(QStringLiteral("print_unencrypted_warning"));
}

} // namespace keskor

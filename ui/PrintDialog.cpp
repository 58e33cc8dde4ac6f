#include "ui/PrintDialog.h"

#include "core/ItemActions.h"
#include "core/Localizer.h"
#include "ui/UiContext.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace keskor {

namespace {

constexpr const char* kFieldKeys[PDFOptions::kFieldCount] = {"print_field_description",
                                                             "type",
                                                             "url",
                                                             "username",
                                                             "password",
                                                             "last_modified",
                                                             "expiry_date",
                                                             "category",
                                                             "importance",
                                                             "tab_custom_fields",
                                                             "comments",
                                                             "last_accessed",
                                                             "tab_tans",
                                                             "attachments",
                                                             "tags",
                                                             "print_field_author"};

constexpr const char* kSortKeys[] = {"print_field_description",
                                     "importance",
                                     "password",
                                     "last_modified",
                                     "expiry_date",
                                     "username",
                                     "url",
                                     "comments",
                                     "category"};

constexpr int kZoomPercents[] = {50, 75, 100, 125, 150, 200};
constexpr int kPageSpacing = 12;
/// A preview of a whole large database would hold thousands of pages; the first ones show the
/// layout, and every page is still printed.
constexpr std::size_t kMaxPreviewPages = 100;

QLineEdit* marginField(int value, const char* name, QWidget* parent) {
    auto* field = new QLineEdit(QString::number(value), parent);
    field->setObjectName(QLatin1String(name));
    field->setMaxLength(4);
    field->setMaximumWidth(60);
    return field;
}

} // namespace

PrintDialog::PrintDialog(UiContext& ctx, PDFOptions options, QString databasePath, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_controller(
                                       ctx.presenter, ctx.text, ctx.clock,
                                       [&ctx]() -> const PassFile* { return ctx.items.database(); },
                                       std::move(databasePath), std::move(options)),
      m_layoutTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("printDialog"));
    setWindowTitle(t("print_title"));
    const PDFOptions& o = m_controller.options();

    // Entries.
    auto* entries = new QGroupBox(t("print_entries_group"), this);
    m_allRadio = new QRadioButton(t("print_all_entries"), entries);
    m_allRadio->setObjectName(QStringLiteral("allRadio"));
    m_selectedRadio = new QRadioButton(t("print_selected_entries"), entries);
    m_selectedRadio->setObjectName(QStringLiteral("selectedRadio"));
    m_selectedRadio->setEnabled(!o.selectedEntries.empty());
    (o.isAll ? m_allRadio : m_selectedRadio)->setChecked(true);
    m_folder = new QComboBox(entries);
    m_folder->setObjectName(QStringLiteral("folderPopup"));
    const QList<FolderSelectMenuItem> folders = m_controller.folderPopup();
    for (const FolderSelectMenuItem& item : folders) {
        const QString name = item.fingerprint.isEmpty() ? o.title : item.title;
        m_folder->addItem(QString(item.depth * 3, u' ') + name);
        if (item.infoItem == o.printEntries) {
            m_folder->setCurrentIndex(m_folder->count() - 1);
        }
    }
    m_subFolders = new QCheckBox(t("print_include_subfolders"), entries);
    m_subFolders->setObjectName(QStringLiteral("includeSubFoldersCheck"));
    m_subFolders->setChecked(o.includeSubFolders);
    m_orderBy = new QComboBox(entries);
    m_orderBy->setObjectName(QStringLiteral("orderByPopup"));
    for (const char* key : kSortKeys) {
        m_orderBy->addItem(t(key));
    }
    m_orderBy->setCurrentIndex(static_cast<int>(o.orderBy));
    m_direction = new QComboBox(entries);
    m_direction->setObjectName(QStringLiteral("directionPopup"));
    m_direction->addItems({t("print_ascending"), t("print_descending")});
    m_direction->setCurrentIndex(static_cast<int>(o.orderDirection));
    auto* folderLabel = new QLabel(t("print_folder"), entries);
    folderLabel->setBuddy(m_folder);
    auto* orderLabel = new QLabel(t("print_order_by"), entries);
    orderLabel->setBuddy(m_orderBy);
    auto* entriesForm = new QFormLayout(entries);
    entriesForm->addRow(m_allRadio);
    entriesForm->addRow(folderLabel, m_folder);
    entriesForm->addRow(QString(), m_subFolders);
    entriesForm->addRow(m_selectedRadio);
    auto* order = new QHBoxLayout;
    order->addWidget(m_orderBy, 1);
    order->addWidget(m_direction);
    entriesForm->addRow(orderLabel, order);
    auto* entryChoice = new QButtonGroup(this);
    entryChoice->addButton(m_allRadio);
    entryChoice->addButton(m_selectedRadio);

    // Fields, two columns in dialog order.
    auto* fields = new QGroupBox(t("print_fields_group"), this);
    auto* fieldGrid = new QGridLayout(fields);
    for (int i = 0; i < PDFOptions::kFieldCount; ++i) {
        auto* box = new QCheckBox(t(kFieldKeys[i]), fields);
        box->setObjectName(QStringLiteral("field%1Check").arg(i));
        box->setChecked(o.printFields.contains(i));
        fieldGrid->addWidget(box, i % 8, i / 8);
        m_fields.append(box);
    }

    // Page.
    auto* page = new QGroupBox(t("print_page_group"), this);
    m_title = new QLineEdit(o.title, page);
    m_title->setObjectName(QStringLiteral("titleField"));
    auto* titleLabel = new QLabel(t("print_page_title"), page);
    titleLabel->setBuddy(m_title);
    m_portrait = new QRadioButton(t("print_portrait"), page);
    m_portrait->setObjectName(QStringLiteral("portraitRadio"));
    m_landscape = new QRadioButton(t("print_landscape"), page);
    m_landscape->setObjectName(QStringLiteral("landscapeRadio"));
    (o.isLandscape() ? m_landscape : m_portrait)->setChecked(true);
    auto* orientation = new QButtonGroup(this);
    orientation->addButton(m_portrait);
    orientation->addButton(m_landscape);
    auto* orientationRow = new QHBoxLayout;
    orientationRow->addWidget(m_portrait);
    orientationRow->addWidget(m_landscape);
    orientationRow->addStretch();
    m_marginLeft = marginField(o.marginLeft, "marginLeftField", page);
    m_marginRight = marginField(o.marginRight, "marginRightField", page);
    m_marginTop = marginField(o.marginTop, "marginTopField", page);
    m_marginBottom = marginField(o.marginBottom, "marginBottomField", page);
    auto* margins = new QGroupBox(t("print_margins_group"), page);
    auto* marginGrid = new QGridLayout(margins);
    const auto marginRow = [&](int row, int column, const char* key, QLineEdit* field) {
        auto* label = new QLabel(t(key), margins);
        label->setBuddy(field);
        marginGrid->addWidget(label, row, column * 2);
        marginGrid->addWidget(field, row, column * 2 + 1);
    };
    marginRow(0, 0, "print_margin_left", m_marginLeft);
    marginRow(0, 1, "print_margin_right", m_marginRight);
    marginRow(1, 0, "print_margin_top", m_marginTop);
    marginRow(1, 1, "print_margin_bottom", m_marginBottom);
    auto* pageForm = new QFormLayout(page);
    pageForm->addRow(titleLabel, m_title);
    pageForm->addRow(orientationRow);
    pageForm->addRow(margins);

    // Fonts.
    auto* fonts = new QGroupBox(t("print_fonts_group"), this);
    auto* fontRow = new QHBoxLayout(fonts);
    const auto fontButton = [&](const char* key, const char* name,
                                PrintViewController::FontTarget target) {
        auto* button = new QPushButton(t(key), fonts);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, target] { chooseFont(target); });
        fontRow->addWidget(button);
    };
    fontButton("print_title_font", "titleFontButton", PrintViewController::FontTarget::title);
    fontButton("print_folder_font", "folderFontButton", PrintViewController::FontTarget::folder);
    fontButton("print_entry_font", "entryFontButton", PrintViewController::FontTarget::entry);

    auto* controls = new QVBoxLayout;
    controls->addWidget(entries);
    controls->addWidget(fields);
    controls->addWidget(page);
    controls->addWidget(fonts);
    auto* warning =
        new QLabel(m_ctx.localizer.text(PrintViewController::unencryptedWarning()), this);
    warning->setObjectName(QStringLiteral("unencryptedWarning"));
    warning->setWordWrap(true);
    controls->addWidget(warning);
    controls->addStretch();

    // Preview.
    m_zoom = new QComboBox(this);
    m_zoom->setObjectName(QStringLiteral("zoomPopup"));
    for (int percent : kZoomPercents) {
        m_zoom->addItem(QStringLiteral("%1 %").arg(percent), percent);
    }
    m_zoom->setCurrentIndex(m_zoom->findData(100));
    auto* zoomLabel = new QLabel(t("print_zoom"), this);
    zoomLabel->setBuddy(m_zoom);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("previewArea"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setAlignment(Qt::AlignHCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_pagesWidget = new QWidget;
    m_pagesLayout = new QVBoxLayout(m_pagesWidget);
    m_pagesLayout->setSpacing(kPageSpacing);
    m_pagesLayout->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setWidget(m_pagesWidget);
    auto* zoomRow = new QHBoxLayout;
    zoomRow->addStretch();
    zoomRow->addWidget(zoomLabel);
    zoomRow->addWidget(m_zoom);
    auto* preview = new QVBoxLayout;
    preview->addLayout(zoomRow);
    preview->addWidget(m_scroll, 1);

    auto* buttons = new QDialogButtonBox(this);
    auto* exportButton = buttons->addButton(t("print_export"), QDialogButtonBox::ActionRole);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    auto* printButton = buttons->addButton(t("print_print"), QDialogButtonBox::AcceptRole);
    printButton->setObjectName(QStringLiteral("printButton"));
    auto* cancelButton = buttons->addButton(t("dialog_cancel"), QDialogButtonBox::RejectRole);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    exportButton->setAutoDefault(false);
    cancelButton->setAutoDefault(false);
    printButton->setDefault(true);

    auto* columns = new QHBoxLayout;
    columns->addLayout(controls);
    columns->addLayout(preview, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(buttons);

    setTabOrder(m_allRadio, m_folder);
    setTabOrder(m_folder, m_subFolders);
    setTabOrder(m_subFolders, m_selectedRadio);
    setTabOrder(m_selectedRadio, m_orderBy);
    setTabOrder(m_orderBy, m_direction);
    QWidget* previous = m_direction;
    for (QCheckBox* box : m_fields) {
        setTabOrder(previous, box);
        previous = box;
    }
    for (QWidget* next : std::initializer_list<QWidget*>{
             m_title, m_portrait, m_landscape, m_marginLeft, m_marginRight, m_marginTop,
             m_marginBottom, fonts->findChild<QPushButton*>(QStringLiteral("titleFontButton")),
             fonts->findChild<QPushButton*>(QStringLiteral("folderFontButton")),
             fonts->findChild<QPushButton*>(QStringLiteral("entryFontButton")), m_zoom, m_scroll,
             exportButton, printButton, cancelButton}) {
        setTabOrder(previous, next);
        previous = next;
    }

    connect(m_allRadio, &QRadioButton::toggled, this, [this](bool on) {
        m_controller.onPasswordForAllOrFolder(on);
        buildPreview();
    });
    connect(m_folder, &QComboBox::currentIndexChanged, this, [this, folders](int index) {
        if (index >= 0 && index < folders.size()) {
            m_controller.onSelectFolder(folders[index].infoItem);
            buildPreview();
        }
    });
    connect(m_subFolders, &QCheckBox::toggled, this, [this](bool on) {
        m_controller.onIncludeSubFolders(on);
        buildPreview();
    });
    connect(m_orderBy, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_controller.onOrderByPopup(static_cast<PrintSortKey>(std::max(index, 0)));
        buildPreview();
    });
    connect(m_direction, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_controller.onDirectionPopup(index == 1 ? PrintOrderDirection::descending
                                                 : PrintOrderDirection::ascending);
        buildPreview();
    });
    for (QCheckBox* box : m_fields) {
        connect(box, &QCheckBox::toggled, this, &PrintDialog::fieldsChanged);
    }
    connect(m_portrait, &QRadioButton::toggled, this, [this](bool on) {
        m_controller.onOrientation(on ? 0 : 1);
        buildPreview();
    });
    m_layoutTimer->setSingleShot(true);
    m_layoutTimer->setInterval(300);
    connect(m_layoutTimer, &QTimer::timeout, this, &PrintDialog::applyLayoutFields);
    for (QLineEdit* field : {m_title, m_marginLeft, m_marginRight, m_marginTop, m_marginBottom}) {
        connect(field, &QLineEdit::textEdited, m_layoutTimer, qOverload<>(&QTimer::start));
        connect(field, &QLineEdit::editingFinished, this, [this] {
            if (m_layoutTimer->isActive()) {
                applyLayoutFields();
            }
        });
    }
    connect(m_zoom, &QComboBox::currentIndexChanged, this, [this] {
        m_controller.onZoom(m_zoom->currentData().toInt() / 100.0);
        buildPreview();
    });
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &PrintDialog::renderVisiblePages);
    connect(exportButton, &QPushButton::clicked, this, &PrintDialog::onExportClicked);
    connect(printButton, &QPushButton::clicked, this, &PrintDialog::onPrintClicked);
    connect(cancelButton, &QPushButton::clicked, this, &PrintDialog::reject);

    resize(1100, 760);
    buildPreview();
}

QString PrintDialog::t(const char* key) const {
    return m_ctx.localizer.text(QString::fromLatin1(key));
}

void PrintDialog::fieldsChanged() {
    QList<int> ticked;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i]->isChecked()) {
            ticked.append(i);
        }
    }
    m_controller.onPrintFieldsChange(ticked);
    buildPreview();
}

void PrintDialog::applyLayoutFields() {
    m_layoutTimer->stop();
    m_controller.onLayout({m_title->text(), m_marginLeft->text(), m_marginRight->text(),
                           m_marginTop->text(), m_marginBottom->text()});
    buildPreview();
}

void PrintDialog::chooseFont(PrintViewController::FontTarget target) {
    const PDFOptions& o = m_controller.options();
    const QFont current = target == PrintViewController::FontTarget::title    ? o.titleFont
                          : target == PrintViewController::FontTarget::folder ? o.folderFont
                                                                              : o.entryFont;
    const QColor currentColor = target == PrintViewController::FontTarget::title ? o.titleFontColor
                                : target == PrintViewController::FontTarget::folder
                                    ? o.folderFontColor
                                    : o.entryFontColor;
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, current, this);
    if (!ok) {
        return;
    }
    QColor color = QColorDialog::getColor(currentColor, this, t("print_font_color"));
    if (!color.isValid()) {
        color = currentColor;
    }
    m_controller.onChangeFont(target, font, color);
    buildPreview();
}

void PrintDialog::buildPreview() {
    for (QLabel* label : m_pageLabels) {
        delete label;
    }
    m_pageLabels.clear();
    m_rendered.clear();
    delete m_morePages;
    m_morePages = nullptr;
    const double zoom = m_controller.zoom();
    const auto& pages = m_controller.pages().pages();
    for (const PDFPageView& page : pages) {
        if (m_pageLabels.size() == kMaxPreviewPages) {
            break;
        }
        auto* label = new QLabel(m_pagesWidget);
        label->setObjectName(QStringLiteral("previewPage%1").arg(m_pageLabels.size() + 1));
        label->setFixedSize((page.pageSize() * zoom).toSize());
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, Qt::white);
        label->setPalette(palette);
        m_pagesLayout->addWidget(label, 0, Qt::AlignHCenter);
        m_pageLabels.push_back(label);
        m_rendered.push_back(false);
    }
    if (pages.size() > m_pageLabels.size()) {
        m_morePages =
            new QLabel(m_ctx.localizer.text(QStringLiteral("print_more_pages"),
                                            {QString::number(pages.size() - m_pageLabels.size())}),
                       m_pagesWidget);
        m_morePages->setObjectName(QStringLiteral("morePagesLabel"));
        m_pagesLayout->addWidget(m_morePages, 0, Qt::AlignHCenter);
    }
    m_pagesWidget->adjustSize();
    renderVisiblePages();
}

void PrintDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Drawn once the layout has placed the pages, so the visible ones are known.
    QTimer::singleShot(0, this, &PrintDialog::renderVisiblePages);
}

void PrintDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    QTimer::singleShot(0, this, &PrintDialog::renderVisiblePages);
}

void PrintDialog::renderVisiblePages() {
    if (!m_scroll->isVisible()) {
        return;
    }
    m_pagesLayout->activate();
    const double zoom = m_controller.zoom();
    const qreal ratio = devicePixelRatioF();
    const int top = m_scroll->verticalScrollBar()->value();
    const int height = std::max(m_scroll->viewport()->height(), 1);
    for (std::size_t i = 0; i < m_pageLabels.size(); ++i) {
        QLabel* label = m_pageLabels[i];
        const int y = label->y();
        const bool visible = y + label->height() >= top && y <= top + height;
        if (m_rendered[i] || !visible) {
            continue;
        }
        QPixmap pixmap = QPixmap::fromImage(m_controller.renderPage(int(i), zoom * ratio));
        pixmap.setDevicePixelRatio(ratio);
        label->setPixmap(pixmap);
        m_rendered[i] = true;
    }
}

int PrintDialog::renderedPages() const {
    return int(std::count(m_rendered.begin(), m_rendered.end(), true));
}

bool PrintDialog::exportTo(QString path) {
    if (m_layoutTimer->isActive()) {
        applyLayoutFields();
    }
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".pdf");
    }
    return m_controller.onExport(path);
}

void PrintDialog::onExportClicked() {
    QFileDialog chooser(this, t("print_export_title"));
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    chooser.setNameFilter(QStringLiteral("PDF (*.pdf)"));
    chooser.setDefaultSuffix(QStringLiteral("pdf"));
    chooser.setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    const QString title = m_controller.options().title;
    chooser.selectFile((title.isEmpty() ? QStringLiteral("Keskor") : title) +
                       QStringLiteral(".pdf"));
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) {
        return;
    }
    if (exportTo(chooser.selectedFiles().constFirst())) {
        accept();
    }
}

void PrintDialog::onPrintClicked() {
    if (m_layoutTimer->isActive()) {
        applyLayoutFields();
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageOrientation(m_controller.options().isLandscape() ? QPageLayout::Landscape
                                                                    : QPageLayout::Portrait);
    printer.setDocName(m_controller.options().title);
    QPrintDialog chooser(&printer, this);
    chooser.setOption(QAbstractPrintDialog::PrintToFile, true);
    if (chooser.exec() != QDialog::Accepted) {
        return;
    }
    if (m_controller.onPrint(printer)) {
        accept();
    }
}

void PrintDialog::reject() {
    m_controller.onCancel();
    QDialog::reject();
}

} // namespace keskor

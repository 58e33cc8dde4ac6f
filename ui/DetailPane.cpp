#include "ui/DetailPane.h"

#include "core/ClipboardHelper.h"
#include "core/EntryKinds.h"
#include "core/Localizer.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/Info2Item.h"
#include "ui/EntryIcons.h"
#include "ui/UiContext.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace keskor {

namespace {

// Long values are shown cut; the copy button still copies all of it.
constexpr int kShownCharacters = 2000;

} // namespace

DetailPane::DetailPane(UiContext& ctx, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_title(new QLabel(this)), m_form(new QFormLayout) {
    setObjectName(QStringLiteral("detailPane"));
    auto* layout = new QVBoxLayout(this);
    m_title->setObjectName(QStringLiteral("detailTitle"));
    QFont font = m_title->font();
    font.setPointSizeF(font.pointSizeF() * 1.3);
    font.setBold(true);
    m_title->setFont(font);
    m_title->setWordWrap(true);
    layout->addWidget(m_title);
    auto* body = new QWidget(this);
    body->setLayout(m_form);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(body);
    layout->addWidget(scroll, 1);
    setMinimumWidth(300);
}

void DetailPane::setEntry(std::shared_ptr<Info2Item> entry) {
    if (entry != m_entry) {
        m_revealed = false;
    }
    m_entry = std::move(entry);
    rebuild();
}

void DetailPane::addRow(const QString& label, const QString& value, bool secret) {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto* text = new QLabel(secret && !m_revealed ? QStringLiteral("••••••••")
                                                  : value.left(kShownCharacters).toHtmlEscaped(),
                            row);
    text->setTextInteractionFlags(secret ? Qt::NoTextInteraction : Qt::TextSelectableByMouse);
    text->setWordWrap(true);
    // A long value that cannot wrap (a host name, a token) gives way, not the buttons beside it.
    text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    text->setObjectName(secret ? QStringLiteral("detailSecret") : QString());
    h->addWidget(text, 1);
    if (secret) {
        auto* reveal = new QToolButton(row);
        reveal->setText(
            m_ctx.localizer.text(m_revealed ? QStringLiteral("hide") : QStringLiteral("show")));
        connect(reveal, &QToolButton::clicked, this, [this] {
            m_revealed = !m_revealed;
            rebuild();
        });
        h->addWidget(reveal);
    }
    auto* copy = new QToolButton(row);
    copy->setIcon(QIcon::fromTheme(QStringLiteral("edit-copy")));
    copy->setText(m_ctx.localizer.text(QStringLiteral("copy")));
    copy->setToolTip(m_ctx.localizer.text(QStringLiteral("copy")));
    connect(copy, &QToolButton::clicked, this,
            [this, value] { m_ctx.clipboard.copyToClipboard(value, true); });
    h->addWidget(copy);
    m_form->addRow(label, row);
}

void DetailPane::rebuild() {
    while (m_form->rowCount() > 0) {
        m_form->removeRow(0);
    }
    if (!m_entry) {
        m_title->clear();
        return;
    }
    const Localizer& l = m_ctx.localizer;
    m_title->setText(m_entry->description().left(kShownCharacters));
    const EntryKind& kind = EntryKinds::ofRaw(m_entry->type);
    m_form->addRow(l.text(QStringLiteral("type")), new QLabel(l.text(kind.nameKey)));
    const auto field = [&](const QString& key, ItemText text, bool secret) {
        const std::optional<QString> value = m_entry->text(text);
        if (!key.isEmpty() && value && !value->isEmpty()) {
            addRow(l.text(key), *value, secret);
        }
    };
    field(kind.userNameKey.isEmpty() ? QStringLiteral("username") : kind.userNameKey,
          ItemText::UserName, false);
    field(kind.passwordKey.isEmpty() ? QStringLiteral("password") : kind.passwordKey,
          ItemText::Password, true);
    field(kind.urlKey.isEmpty() ? QStringLiteral("url") : kind.urlKey, ItemText::Url, false);
    for (const PswField& custom : m_entry->customFields()) {
        if (!custom.value.isEmpty()) {
            addRow(custom.name, custom.value, !custom.visible);
        }
    }
    field(QStringLiteral("category"), ItemText::Category, false);
    field(QStringLiteral("comments"), ItemText::Comment, false);
    if (m_entry->expiryDate > 1.0) {
        m_form->addRow(l.text(QStringLiteral("expiry_date")),
                       new QLabel(QLocale().toString(
                           DateTimeHelper::parseDelphiDate(m_entry->expiryDate).date())));
    }
    if (m_entry->lastModified > 1.0) {
        m_form->addRow(
            l.text(QStringLiteral("last_modified")),
            new QLabel(QLocale().toString(DateTimeHelper::parseDelphiDate(m_entry->lastModified),
                                          QLocale::ShortFormat)));
    }
    if (!m_entry->attachments().isEmpty()) {
        QStringList names;
        for (const Attachment& a : m_entry->attachments()) {
            names.append(a.fileName);
        }
        m_form->addRow(l.text(QStringLiteral("attachments")),
                       new QLabel(names.join(QStringLiteral(", ")).toHtmlEscaped()));
    }
}

} // namespace keskor

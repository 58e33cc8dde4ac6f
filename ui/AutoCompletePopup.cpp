#include "ui/AutoCompletePopup.h"

#include "core/Localizer.h"
#include "ui/UiContext.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace keskor {

AutoCompletePopup::AutoCompletePopup(UiContext& ctx, AutoCompleteHelper* helper,
                                     const Info2Item& entry,
                                     std::function<void(bool visible)> setMainWindowVisible)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_controller(helper, ctx.presenter, entry, {std::move(setMainWindowVisible), [this] {
                                                      // Closed from inside a helper callback: leave
                                                      // that call first.
                                                      QTimer::singleShot(0, this,
                                                                         [this] { close(); });
                                                  }}) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    // The main window is hidden while the popup shows; closing the popup must not end the
    // program.
    setAttribute(Qt::WA_QuitOnClose, false);
    setObjectName(QStringLiteral("autoCompletePopup"));
    setWindowTitle(ctx.localizer.text(QStringLiteral("autocomplete_title")));
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(entry.description(), this);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    layout->addWidget(name);
    auto* hint = new QLabel(ctx.localizer.text(QStringLiteral("autocomplete_click_target")), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* cancel = new QPushButton(ctx.localizer.text(QStringLiteral("dialog_cancel")), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    layout->addWidget(cancel, 0, Qt::AlignRight);
    connect(cancel, &QPushButton::clicked, this, [this] { m_controller.onCancel(); });
    setFixedWidth(330);
    m_controller.viewDidLoad();
}

void AutoCompletePopup::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_appeared) {
        return;
    }
    m_appeared = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.right() - 350, area.top());
    }
    m_controller.viewDidAppear();
}

void AutoCompletePopup::closeEvent(QCloseEvent* event) {
    if (!m_disappeared) {
        m_disappeared = true;
        m_controller.viewWillDisappear();
    }
    event->accept();
}

} // namespace keskor

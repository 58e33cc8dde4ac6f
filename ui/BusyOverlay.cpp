#include "ui/BusyOverlay.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>

namespace keskor {

BusyOverlay::BusyOverlay(QWidget* window) : QWidget(window), m_label(new QLabel(this)) {
    setObjectName(QStringLiteral("busyOverlay"));
    setAttribute(Qt::WA_NoSystemBackground);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setStyleSheet(QStringLiteral("color: white; font-size: 14pt;"));
    layout->addWidget(m_label);
    auto* spinner = new QProgressBar(this);
    spinner->setRange(0, 0);
    spinner->setMaximumWidth(240);
    layout->addWidget(spinner, 0, Qt::AlignHCenter);
    layout->addStretch();
    window->installEventFilter(this);
    hide();
}

void BusyOverlay::showText(const QString& text) {
    m_label->setText(text);
    setGeometry(parentWidget()->rect());
    show();
    raise();
    // The overlay swallows input to the window below it, like a modal sheet.
    setFocus();
}

bool BusyOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
    }
    return QWidget::eventFilter(watched, event);
}

void BusyOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 140));
}

} // namespace keskor

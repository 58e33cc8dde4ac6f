#include "ui/StrengthReadoutView.h"

#include <QColor>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <cmath>

namespace keskor {

namespace {

constexpr int kBarSteps = 1000;

} // namespace

StrengthReadoutView::StrengthReadoutView(QWidget* parent)
    : QWidget(parent), m_bar(new QProgressBar(this)), m_summary(new QLabel(this)),
      m_crackTime(new QLabel(this)) {
    setObjectName(QStringLiteral("strengthReadout"));
    m_bar->setObjectName(QStringLiteral("strengthBar"));
    m_summary->setObjectName(QStringLiteral("strengthSummaryLabel"));
    m_crackTime->setObjectName(QStringLiteral("crackTimeLabel"));
    m_bar->setRange(0, kBarSteps);
    m_bar->setTextVisible(false);
    m_bar->setFixedHeight(8);
    for (QLabel* label : {m_summary, m_crackTime}) {
        label->setWordWrap(true);
        QFont small = label->font();
        small.setPointSizeF(small.pointSizeF() * 0.9);
        label->setFont(small);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_bar);
    layout->addWidget(m_summary);
    layout->addWidget(m_crackTime);
    display(StrengthReadout{});
}

void StrengthReadoutView::display(const StrengthReadout& readout) {
    const StrengthBar& bar = readout.bar;
    const double fraction = bar.maxValue > 0 ? bar.value / bar.maxValue : 0.0;
    m_bar->setValue(static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * kBarSteps)));
    const QColor colour =
        QColor::fromRgbF(static_cast<float>(bar.red), static_cast<float>(bar.green),
                         static_cast<float>(bar.blue), static_cast<float>(bar.alpha));
    m_bar->setStyleSheet(
        QStringLiteral("QProgressBar::chunk { background-color: %1; }").arg(colour.name()));
    m_summary->setText(readout.summary);
    m_crackTime->setText(readout.crackTime);
}

} // namespace keskor

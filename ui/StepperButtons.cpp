#include "ui/StepperButtons.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace keskor {

StepperButtons::StepperButtons(const QString& name, QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    setObjectName(name);
    m_up->setObjectName(name + QStringLiteral("Up"));
    m_down->setObjectName(name + QStringLiteral("Down"));
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFixedHeight(12);
        // The field keeps the focus; the keyboard changes it by typing.
        b->setFocusPolicy(Qt::NoFocus);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, [this] { Q_EMIT stepped(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Q_EMIT stepped(-1); });
}

} // namespace keskor

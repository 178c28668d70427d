#include "ui/main/PileNameField.h"

#include "pixel/Theme.h"
#include "ui/components/FieldLook.h"
#include "ui/components/ThemedLabel.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

namespace vorn {

namespace {
constexpr int kFieldWidth = 220;
}

PileNameField::PileNameField(const QString& title, const QString& initial, QWidget* parent)
    : QFrame(parent), m_field(new QLineEdit(this))
{
    setObjectName(QStringLiteral("pileNameField"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(8);
    layout->setAlignment(Qt::AlignLeft);

    auto* caption = new ThemedLabel(title, uiFont(12, QFont::DemiBold), Color::vornMuted(), this);
    caption->setObjectName(QStringLiteral("pileNameTitle"));
    layout->addWidget(caption);

    m_field->setObjectName(QStringLiteral("pileNameEdit"));
    m_field->setPlaceholderText(placeholder);
    m_field->setFixedWidth(kFieldWidth);
    giveFieldLook(*m_field);
    m_field->setText(initial);
    layout->addWidget(m_field);

    auto* hintLabel = new ThemedLabel(hint, uiFont(11), Color::vornMuted(), this);
    hintLabel->setObjectName(QStringLiteral("pileNameHint"));
    hintLabel->setWordWrap(true);
    hintLabel->setFixedWidth(kFieldWidth);
    hintLabel->setAlignment(Qt::AlignLeft);
    layout->addWidget(hintLabel);

    connect(m_field, &QLineEdit::returnPressed, this, [this] { Q_EMIT done(m_field->text()); });
}

QString PileNameField::name() const
{
    return m_field->text();
}

void PileNameField::showEvent(QShowEvent* event)
{
    QFrame::showEvent(event);
    m_field->setFocus(Qt::PopupFocusReason);
}

void PileNameField::hideEvent(QHideEvent* event)
{
    QFrame::hideEvent(event);
    Q_EMIT dismissed();
}

void PileNameField::paintEvent(QPaintEvent*)
{
    // A popover over the window's own colour needs an edge of its own, or it runs into whatever it
    // covers (a long screen title reads as if letters were missing).
    QPainter painter(this);
    painter.fillRect(rect(), Color::vornBackground().resolved(palette()));
    painter.setPen(Color::vornFaint().resolved(palette()));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void PileNameField::keyPressEvent(QKeyEvent* event)
{
    // A bare popup frame does not close itself on Escape the way a menu does.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

} // namespace vorn

#include "ui/main/PileNameField.h"

#include "pixel/Theme.h"
#include "ui/components/ThemedLabel.h"

#include <QKeyEvent>
#include <QLineEdit>
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

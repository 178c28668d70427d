#include "ui/components/SnoozeBar.h"

#include "pixel/Theme.h"
#include "ui/components/Glass.h"
#include "ui/components/ThemedLabel.h"

#include <QBoxLayout>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace vorn {

namespace {
constexpr int kPadding = 8;
constexpr int kHeight = 26;
constexpr int kKeyGap = 4;
} // namespace

QString SnoozeBar::optionName(SnoozeOption option, ListStyle style)
{
    return style == ListStyle::regular ? snoozeOptionName(option) : snoozeOptionShortName(option);
}

SnoozeOptionButton::SnoozeOptionButton(SnoozeOption option, ListStyle style, QWidget* parent)
    : PressButton(parent), m_option(option), m_name(SnoozeBar::optionName(option, style))
{
    setObjectName(QStringLiteral("snoozeOption%1").arg(int(option)));
    setAccessibleName(m_name);
    setFixedSize(sizeHint());
}

QFont SnoozeOptionButton::keyFont() const
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(11);
    return f;
}

QFont SnoozeOptionButton::nameFont() const
{
    return uiFont(12);
}

QSize SnoozeOptionButton::sizeHint() const
{
    const int key = QFontMetrics(keyFont()).horizontalAdvance(QString::number(int(m_option)));
    const int name = QFontMetrics(nameFont()).horizontalAdvance(m_name);
    return {kPadding + key + kKeyGap + name + kPadding, kHeight};
}

bool SnoozeOptionButton::hitButton(const QPoint& pos) const
{
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(rect()), kHeight / 2.0, kHeight / 2.0);
    return capsule.contains(pos);
}

void SnoozeOptionButton::paintLabel(QPainter& painter)
{
    if (underMouse() || isDown()) {
        QColor hover = Color::vornSelection().resolved(palette());
        painter.setPen(Qt::NoPen);
        painter.setBrush(hover);
        painter.drawRoundedRect(QRectF(rect()), kHeight / 2.0, kHeight / 2.0);
    }
    const QString key = QString::number(int(m_option));
    painter.setFont(keyFont());
    painter.setPen(Color::vornMuted().resolved(palette()));
    const int keyWidth = QFontMetrics(keyFont()).horizontalAdvance(key);
    painter.drawText(QRect(kPadding, 0, keyWidth, height()), Qt::AlignVCenter | Qt::AlignLeft, key);
    painter.setFont(nameFont());
    painter.setPen(Color::vornText().resolved(palette()));
    painter.drawText(QRect(kPadding + keyWidth + kKeyGap, 0, width(), height()),
                     Qt::AlignVCenter | Qt::AlignLeft, m_name);
}

SnoozeBar::SnoozeBar(ListStyle style, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("snoozeBar"));
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(style == ListStyle::regular ? 6 : 4);
    if (style == ListStyle::regular) {
        auto* prompt = new ThemedLabel(QStringLiteral("Snooze until…"), uiFont(12, QFont::Medium),
                                       Color::vornMuted(), this);
        prompt->setObjectName(QStringLiteral("snoozePrompt"));
        prompt->setContentsMargins(6, 0, 6, 0);
        layout->addWidget(prompt, 0, Qt::AlignVCenter);
    }
    for (SnoozeOption option : options) {
        auto* button = new SnoozeOptionButton(option, style, this);
        connect(button, &QAbstractButton::clicked, this, [this, option] { pick(option); });
        layout->addWidget(button, 0, Qt::AlignVCenter);
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SnoozeBar::pick(SnoozeOption option)
{
    Q_EMIT picked(option);
}

void SnoozeBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintGlassCapsule(painter, QRectF(rect()), palette());
}

void SnoozeBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT cancelled();
        event->accept();
        return;
    }
    if (event->key() >= Qt::Key_1 && event->key() <= Qt::Key_4 &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        pick(*snoozeOptionFromRaw(event->key() - Qt::Key_0));
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace vorn

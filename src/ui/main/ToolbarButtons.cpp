#include "ui/main/ToolbarButtons.h"

#include "model/Commands.h"
#include "model/KeyNames.h"
#include "pixel/PixelView.h"
#include "pixel/Pixels.h"
#include "pixel/Theme.h"
#include "pixel/VornFont.h"

#include <QEvent>
#include <QPainter>

namespace vorn {

namespace {
constexpr qreal kGlyphUnit = 2;
constexpr int kFocusSpacing = 7;
constexpr int kFocusPadding = 4;
constexpr int kWordSize = 20;
constexpr QLatin1StringView kWord("focus");
} // namespace

FocusButton::FocusButton(QWidget* parent) : PressButton(parent)
{
    setObjectName(QStringLiteral("focusButton"));
    setAccessibleName(QStringLiteral("Focus mode"));
    updateToolTip();
    setFocusPolicy(Qt::NoFocus);
}

void FocusButton::changeEvent(QEvent* event)
{
    PressButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        updateToolTip();
}

void FocusButton::updateToolTip()
{
    const QString key =
        isEnabled() ? QLatin1Char(' ') + keyName(commandKeys(CommandId::focusMode)) : QString();
    setToolTip(QStringLiteral("Focus mode") + key + QStringLiteral(". Same list, less window."));
}

QSize FocusButton::sizeHint() const
{
    const QSize glyph = PixelView::frameSize(Pixels::focus(), kGlyphUnit);
    const int word = QFontMetrics(VornFont::font(kWordSize)).horizontalAdvance(kWord);
    return {kFocusPadding + glyph.width() + kFocusSpacing + word + kFocusPadding, 28};
}

void FocusButton::paintLabel(QPainter& painter)
{
    const QColor color = (isEnabled() ? Color::vornText() : Color::vornFaint()).resolved(palette());
    const QSizeF glyph = PixelView::contentSize(Pixels::focus(), kGlyphUnit);
    PixelView::paint(painter, Pixels::focus(), kGlyphUnit, PixelView::defaultInks(), color,
                     QPointF(kFocusPadding, (height() - glyph.height()) / 2));
    painter.setFont(VornFont::font(kWordSize));
    painter.setPen(color);
    const int left = kFocusPadding + int(std::ceil(glyph.width())) + kFocusSpacing;
    painter.drawText(QRect(left, 0, width() - left, height()), Qt::AlignLeft | Qt::AlignVCenter, kWord);
}

NewThingButton::NewThingButton(QWidget* parent) : PressButton(parent)
{
    setObjectName(QStringLiteral("newThingButton"));
    setAccessibleName(QStringLiteral("New thing"));
    setToolTip(QStringLiteral("New thing ") + keyName(commandKeys(CommandId::newThing)));
    setFocusPolicy(Qt::NoFocus);
}

void NewThingButton::paintLabel(QPainter& painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = Color::yawn;
    if (!isEnabled())
        fill.setAlphaF(0.35f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    painter.restore();
    QColor ink = Color::ink;
    if (!isEnabled())
        ink.setAlphaF(0.45f);
    PixelView::paint(painter, Pixels::plus(), kGlyphUnit, PixelView::defaultInks(), ink,
                     PixelView::centredOrigin(Pixels::plus(), kGlyphUnit, rect()));
}

} // namespace vorn

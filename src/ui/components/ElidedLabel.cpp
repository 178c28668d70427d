#include "ui/components/ElidedLabel.h"

#include <QEvent>

namespace vorn {

namespace {

// The widest a label asks to be: a screen's width is more than any window gives it.
constexpr int kMaxHintWidth = 4096;
// No character that shows is narrower than a pixel, so this many are more than the widest hint holds.
constexpr qsizetype kMeasured = kMaxHintWidth + 1;

QStringView measured(const QString& text)
{
    return QStringView(text).first(std::min(text.size(), kMeasured));
}

} // namespace

ElidedLabel::ElidedLabel(const QFont& font, const Color& color, QWidget* parent)
    : ThemedLabel(QString(), font, color, parent)
{
}

void ElidedLabel::setFullText(const QString& text)
{
    if (text == m_full)
        return;
    m_full = text;
    elide();
    updateGeometry();
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    const QMargins m = contentsMargins();
    const int width = std::min(fm.horizontalAdvance(measured(m_full).toString()), kMaxHintWidth);
    return {width + m.left() + m.right(), fm.height() + m.top() + m.bottom()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QFontMetrics fm(font());
    const QMargins m = contentsMargins();
    return {fm.horizontalAdvance(QStringLiteral("M\u2026")) + m.left() + m.right(),
            fm.height() + m.top() + m.bottom()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event)
{
    ThemedLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::changeEvent(QEvent* event)
{
    ThemedLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        elide();
}

void ElidedLabel::elide()
{
    const int width = contentsRect().width();
    QString shown = measured(m_full).toString();
    if (shown.size() < m_full.size())
        shown += u'\u2026';
    setText(QFontMetrics(font()).elidedText(shown, Qt::ElideRight, std::max(width, 0)));
}

} // namespace vorn

#include "ui/main/StripButtons.h"

#include "ui/components/ThemedLabel.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace vorn {

namespace {
constexpr int kPadding = 10;
constexpr int kSpacing = 5;
constexpr int kHeight = 28;

QFont countFont()
{
    return uiFont(11);
}

// Qt 6.4 cannot ask the font for tabular figures, so each digit gets a cell as wide as the widest one
// and a changing count does not jiggle the strip.
int digitCell(const QFontMetrics& metrics)
{
    int widest = 0;
    for (char c = '0'; c <= '9'; ++c)
        widest = std::max(widest, metrics.horizontalAdvance(QLatin1Char(c)));
    return widest;
}

int countWidth(int count)
{
    return digitCell(QFontMetrics(countFont())) * static_cast<int>(QString::number(count).size());
}

} // namespace

TabButton::TabButton(const QString& title, QWidget* parent) : PressButton(parent)
{
    setText(title);
    setAccessibleName(title);
    // Checked is how assistive technology hears "selected"; clicks never toggle it, the model decides.
    setCheckable(true);
    setAutoExclusive(false);
    setFixedHeight(kHeight);
    connect(this, &QAbstractButton::toggled, this, [this] { updateGeometry(); });
}

void TabButton::setTitle(const QString& title)
{
    if (title == text())
        return;
    setText(title);
    setAccessibleName(title);
    titleChanged();
}

void TabButton::setTitleCap(std::optional<int> cap)
{
    if (cap == m_titleCap)
        return;
    m_titleCap = cap;
    titleChanged();
}

QString TabButton::shownTitle() const
{
    if (!m_titleCap)
        return text();
    return QFontMetrics(titleFont()).elidedText(text(), Qt::ElideRight, *m_titleCap);
}

void TabButton::titleChanged()
{
    // An elided name is still there in full, one hover away.
    setToolTip(shownTitle() == text() ? QString() : text());
    updateGeometry();
    update();
}

void TabButton::setCount(std::optional<int> count)
{
    if (count == m_count)
        return;
    m_count = count;
    updateGeometry();
    update();
}

std::optional<int> TabButton::shownCount() const
{
    if (m_count && *m_count > 0)
        return m_count;
    return std::nullopt;
}

void TabButton::setSelected(bool selected)
{
    // No early return: a click has already toggled the check without asking.
    setChecked(selected);
    // The selected title is semibold, so wider: it may elide differently.
    titleChanged();
}

QFont TabButton::titleFont() const
{
    return uiFont(13, isChecked() ? QFont::DemiBold : QFont::Normal);
}

int TabButton::countPart() const
{
    const auto n = shownCount();
    return n ? kSpacing + countWidth(*n) : 0;
}

int TabButton::titleAdvance() const
{
    // The strip asks every tab's width many times while it lays out; shaping the same title each time
    // was a good part of building the window.
    if (m_advance < 0 || m_measuredTitle != text() || m_measuredSelected != isChecked()) {
        m_measuredTitle = text();
        m_measuredSelected = isChecked();
        m_advance = QFontMetrics(titleFont()).horizontalAdvance(m_measuredTitle);
    }
    return m_advance;
}

int TabButton::widthFor(std::optional<int> cap) const
{
    int title = titleAdvance();
    if (cap)
        title = std::min(title, *cap);
    return kPadding * 2 + title + countPart();
}

QSize TabButton::sizeHint() const
{
    const int title = m_titleCap ? QFontMetrics(titleFont()).horizontalAdvance(shownTitle()) : titleAdvance();
    return {kPadding * 2 + title + countPart(), kHeight};
}

void TabButton::paintLabel(QPainter& painter)
{
    const QRectF r = QRectF(rect());
    if (isChecked()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Color::vornSelection().resolved(palette()));
        painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    }
    qreal x = kPadding;
    painter.setFont(titleFont());
    painter.setPen(Color::vornText().resolved(palette()));
    const QString title = shownTitle();
    const int titleWidth = QFontMetrics(titleFont()).horizontalAdvance(title);
    painter.drawText(QRectF(x, 0, titleWidth + 1, r.height()), Qt::AlignVCenter | Qt::AlignLeft, title);
    if (auto n = shownCount()) {
        x += titleWidth + kSpacing;
        painter.setFont(countFont());
        painter.setPen(Color::vornMuted().resolved(palette()));
        const int cell = digitCell(QFontMetrics(countFont()));
        const QString digits = QString::number(*n);
        for (QChar digit : digits) {
            painter.drawText(QRectF(x, 0, cell, r.height()), Qt::AlignCenter, QString(digit));
            x += cell;
        }
    }
}

void TabButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The ordinary click of the same gesture has already selected the tab.
    if (event->button() == Qt::LeftButton) {
        Q_EMIT doubleClicked();
        event->accept();
        return;
    }
    PressButton::mouseDoubleClickEvent(event);
}

} // namespace vorn

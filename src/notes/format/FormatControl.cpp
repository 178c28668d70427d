#include "notes/format/FormatControl.h"

#include "notes/Typography.h"
#include "pixel/YawnView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEasingCurve>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QVariantAnimation>

#include <algorithm>
#include <functional>

namespace vorn::notes {

namespace {

constexpr int kLeadingInset = 10; // title texts and the collapsible icon
constexpr int kIconGap = 8;       // between the collapsible icon and its label
constexpr qreal kIconSize = 14;
constexpr qreal kStroke = 1.5;

// Blends in premultiplied terms, so easing out of "clear" does not pass through a dark tint.
QColor mix(const QColor& from, const QColor& to, qreal t)
{
    const float a0 = from.alphaF();
    const float a1 = to.alphaF();
    const float alpha = a0 + (a1 - a0) * float(t);
    if (alpha <= 0)
        return QColor(to.red(), to.green(), to.blue(), 0);
    const auto channel = [&](float c0, float c1) {
        return std::clamp((c0 * a0 + (c1 * a1 - c0 * a0) * float(t)) / alpha, 0.f, 1.f);
    };
    return QColor::fromRgbF(channel(from.redF(), to.redF()), channel(from.greenF(), to.greenF()),
                            channel(from.blueF(), to.blueF()), alpha);
}

QEasingCurve fillEasing()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.23, 1), QPointF(0.32, 1), QPointF(1, 1));
    return curve;
}

QFont controlFont(NoteCommand command)
{
    struct Face {
        qreal size;
        QFont::Weight weight;
        qreal kern;
        bool italic;
        bool underline;
    };
    const Face face = [command]() -> Face {
        switch (command) {
        case NoteCommand::title:
            return {19, QFont::Bold, -0.3, false, false};
        case NoteCommand::heading:
            return {16, QFont::DemiBold, -0.2, false, false};
        case NoteCommand::subheading:
            return {14, QFont::DemiBold, 0, false, false};
        case NoteCommand::bold:
            return {15, QFont::Bold, 0, false, false};
        case NoteCommand::italic:
            return {15, QFont::DemiBold, 0, true, false};
        case NoteCommand::underline:
            return {15, QFont::DemiBold, 0, false, true};
        case NoteCommand::collapsible:
            return {13, QFont::Medium, 0, false, false};
        default:
            return {13, QFont::Normal, 0, false, false};
        }
    }();
    QFont font(Typography::family());
    // Pixels, as the control's 32 px height and 224 px width are.
    font.setPixelSize(int(face.size));
    font.setWeight(face.weight);
    font.setLetterSpacing(QFont::AbsoluteSpacing, face.kern);
    font.setItalic(face.italic);
    font.setUnderline(face.underline);
    return font;
}

QString controlText(NoteCommand command)
{
    switch (command) {
    case NoteCommand::bold:
        return QStringLiteral("B");
    case NoteCommand::italic:
        return QStringLiteral("I");
    case NoteCommand::underline:
        return QStringLiteral("U");
    default:
        return QString::fromLatin1(noteCommandInfo(command).label);
    }
}

// Three rows, each a marker then a line: the lists' icons differ only in their markers.
void paintRows(QPainter& p, const QRectF& box, int rows, const std::function<void(QPointF)>& marker)
{
    const qreal step = (box.height() - 4) / (rows - 1);
    for (int i = 0; i < rows; ++i) {
        const qreal y = box.top() + 2 + i * step;
        marker(QPointF(box.left() + 2, y));
        p.drawLine(QPointF(box.left() + 6, y), QPointF(box.right() - 0.5, y));
    }
}

// The icons are drawn rather than loaded, so they follow the control's colour and stay sharp at any scale.
void paintSymbol(QPainter& p, NoteCommand command, const QRectF& box, const QColor& ink)
{
    QPen pen(ink, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QPointF c = box.center();
    switch (command) {
    case NoteCommand::bullets:
        paintRows(p, box, 3, [&](QPointF at) {
            p.save();
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            p.drawEllipse(at, 1.4, 1.4);
            p.restore();
        });
        break;
    case NoteCommand::numbers: {
        QFont digits(Typography::family());
        digits.setPixelSize(6);
        digits.setWeight(QFont::Bold);
        int n = 0;
        paintRows(p, box, 3, [&](QPointF at) {
            p.save();
            p.setFont(digits);
            p.drawText(QRectF(at.x() - 3, at.y() - 3.5, 6, 7), Qt::AlignCenter, QString::number(++n));
            p.restore();
        });
        break;
    }
    case NoteCommand::checklist: {
        // Two rows: a ticked box, an empty one.
        const qreal side = 5;
        const QRectF top(box.left() + 0.5, box.top() + 1, side, side);
        const QRectF bottom = top.translated(0, box.height() - side - 2);
        pen.setWidthF(1.1);
        p.setPen(pen);
        p.drawRoundedRect(top, 1.2, 1.2);
        p.drawRoundedRect(bottom, 1.2, 1.2);
        QPainterPath tick;
        tick.moveTo(top.left() + 1.2, top.center().y());
        tick.lineTo(top.center().x() - 0.3, top.bottom() - 1.2);
        tick.lineTo(top.right() - 1, top.top() + 1.2);
        p.drawPath(tick);
        pen.setWidthF(kStroke);
        p.setPen(pen);
        for (const QRectF& row : {top, bottom})
            p.drawLine(QPointF(row.right() + 2.5, row.center().y()),
                       QPointF(box.right() - 0.5, row.center().y()));
        break;
    }
    case NoteCommand::divider:
        p.drawLine(QPointF(box.left() + 2, c.y()), QPointF(box.right() - 2, c.y()));
        break;
    case NoteCommand::collapsible: {
        pen.setWidthF(1.3);
        p.setPen(pen);
        p.drawEllipse(c, 6.3, 6.3);
        QPainterPath chevron;
        chevron.moveTo(c + QPointF(-2.6, -1.2));
        chevron.lineTo(c + QPointF(0, 1.4));
        chevron.lineTo(c + QPointF(2.6, -1.2));
        p.drawPath(chevron);
        break;
    }
    default:
        break;
    }
}

// A button to assistive tools, checked (and selected) while its formatting is in effect. Qt's own
// interface would call a checkable button a check box, and this one is not checkable by the user.
class FormatControlAccessible : public QAccessibleWidget {
public:
    explicit FormatControlAccessible(FormatControl* control) : QAccessibleWidget(control, QAccessible::Button)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        const FormatControl* c = control();
        s.checkable = true;
        s.checked = c->isOn();
        s.selected = c->isOn();
        s.pressed = c->isPressed();
        s.focusable = false;
        return s;
    }

    QStringList actionNames() const override
    {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override
    {
        if (name == pressAction())
            control()->click();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    FormatControl* control() const { return static_cast<FormatControl*>(widget()); }
};

QAccessibleInterface* accessibleFor(const QString& className, QObject* object)
{
    if (className == QLatin1String(FormatControl::staticMetaObject.className()))
        return new FormatControlAccessible(static_cast<FormatControl*>(object));
    return nullptr;
}

} // namespace

FormatControl::FormatControl(NoteCommand command, QWidget* parent)
    : QAbstractButton(parent), m_command(command), m_kind(kindOf(command)),
      m_fillAnimation(new QVariantAnimation(this)), m_scaleAnimation(new QVariantAnimation(this))
{
    [[maybe_unused]] static const bool accessible = (QAccessible::installFactory(accessibleFor), true);

    setFocusPolicy(Qt::NoFocus);
    setFixedHeight(controlHeight);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setToolTip(noteCommandTooltip(command));
    setAccessibleName(noteCommandTooltip(command));
    setText(controlText(command));
    setFont(controlFont(command));

    m_fillAnimation->setDuration(fillMSecs);
    m_fillAnimation->setEasingCurve(fillEasing());
    m_fillAnimation->setStartValue(0.0);
    m_fillAnimation->setEndValue(1.0);
    connect(m_fillAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& t) {
        m_fill = mix(m_fillFrom, m_fillTo, t.toReal());
        update();
    });
    m_scaleAnimation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_scaleAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& scale) {
        m_scale = scale.toReal();
        update();
    });
    // QAbstractButton reports every change of its down state here, also while a drag leaves and
    // re-enters the control.
    const auto downChanged = [this] {
        updateFill(true);
        updateScale();
    };
    connect(this, &QAbstractButton::pressed, this, downChanged);
    connect(this, &QAbstractButton::released, this, downChanged);
    updateFill(false);
}

FormatControl::Kind FormatControl::kindOf(NoteCommand command)
{
    switch (command) {
    case NoteCommand::title:
    case NoteCommand::heading:
    case NoteCommand::subheading:
    case NoteCommand::body:
        return Kind::title;
    case NoteCommand::bold:
    case NoteCommand::italic:
    case NoteCommand::underline:
        return Kind::glyph;
    case NoteCommand::collapsible:
        return Kind::symbolAndTitle;
    default:
        return Kind::symbol;
    }
}

void FormatControl::setOn(bool on, bool animated)
{
    if (on == m_on)
        return;
    m_on = on;
    QAccessible::State changed;
    changed.checked = true;
    changed.selected = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
    updateFill(animated);
    update(); // the content colour changes at once
}

QColor FormatControl::targetFill() const
{
    if (m_on) {
        const QColor accent = palette().color(QPalette::Highlight);
        return isDown() ? mix(accent, Qt::black, 0.16) : accent;
    }
    QColor text = palette().color(QPalette::WindowText);
    text.setAlphaF(isDown() ? 0.12f : m_hovered ? 0.06f : 0.f);
    return text;
}

QColor FormatControl::contentColor() const
{
    return palette().color(m_on ? QPalette::HighlightedText : QPalette::WindowText);
}

bool FormatControl::isAnimating() const
{
    return m_fillAnimation->state() == QAbstractAnimation::Running ||
           m_scaleAnimation->state() == QAbstractAnimation::Running;
}

QSize FormatControl::sizeHint() const
{
    return QSize(0, controlHeight);
}

QSize FormatControl::minimumSizeHint() const
{
    return sizeHint();
}

void FormatControl::updateFill(bool animated)
{
    const QColor to = targetFill();
    if (m_fillAnimation->state() == QAbstractAnimation::Running && to == m_fillTo)
        return;
    m_fillAnimation->stop();
    m_fillFrom = m_fill;
    m_fillTo = to;
    if (!animated || reduceMotion() || to == m_fill) {
        m_fill = to;
        update();
        return;
    }
    m_fillAnimation->start();
}

void FormatControl::updateScale()
{
    const qreal to = isDown() && !reduceMotion() ? pressedScale : 1.0;
    m_scaleAnimation->stop();
    if (to == m_scale)
        return;
    if (reduceMotion()) {
        m_scale = to;
        update();
        return;
    }
    m_scaleAnimation->setDuration(isDown() ? pressMSecs : releaseMSecs);
    m_scaleAnimation->setStartValue(m_scale);
    m_scaleAnimation->setEndValue(to);
    m_scaleAnimation->start();
}

void FormatControl::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    updateFill(true);
    QAbstractButton::enterEvent(event);
}

void FormatControl::leaveEvent(QEvent* event)
{
    m_hovered = false;
    updateFill(true);
    QAbstractButton::leaveEvent(event);
}

void FormatControl::changeEvent(QEvent* event)
{
    // Light and dark: the new palette's colours apply at once.
    if (event->type() == QEvent::PaletteChange)
        updateFill(false);
    QAbstractButton::changeEvent(event);
}

void FormatControl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF surface = rect();
    p.translate(surface.center());
    p.scale(m_scale, m_scale);
    p.translate(-surface.center());
    if (m_fill.alpha() > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(m_fill);
        p.drawRoundedRect(surface, cornerRadius, cornerRadius);
    }
    p.setClipRect(surface);
    paintContent(p, rect());
}

void FormatControl::paintContent(QPainter& p, const QRect& area) const
{
    const QColor ink = contentColor();
    const Qt::LayoutDirection direction = layoutDirection();
    const Qt::Alignment leading = QStyle::visualAlignment(direction, Qt::AlignLeft | Qt::AlignVCenter);
    const auto iconBox = [&](qreal x) {
        const QRect box(int(x), int((area.height() - kIconSize) / 2), int(kIconSize), int(kIconSize));
        return QRectF(QStyle::visualRect(direction, area, box));
    };
    p.setFont(font());
    p.setPen(ink);
    switch (m_kind) {
    case Kind::title:
        p.drawText(QStyle::visualRect(direction, area, area.adjusted(kLeadingInset, 0, 0, 0)),
                   int(leading) | Qt::TextSingleLine, text());
        break;
    case Kind::glyph:
        p.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, text());
        break;
    case Kind::symbol:
        paintSymbol(p, m_command, iconBox((area.width() - kIconSize) / 2), ink);
        break;
    case Kind::symbolAndTitle: {
        paintSymbol(p, m_command, iconBox(kLeadingInset), ink);
        const int textStart = kLeadingInset + int(kIconSize) + kIconGap;
        p.setPen(ink);
        p.drawText(QStyle::visualRect(direction, area, area.adjusted(textStart, 0, 0, 0)),
                   int(leading) | Qt::TextSingleLine, text());
        break;
    }
    }
}

} // namespace vorn::notes

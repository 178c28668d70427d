#include "ui/components/FieldLook.h"

#include "pixel/Theme.h"

#include <QLineEdit>

namespace vorn {

namespace {

// `top` over `bottom`, as one opaque colour: a style sheet takes no translucent layers.
QColor over(const QColor& top, const QColor& bottom)
{
    const qreal a = top.alphaF();
    return QColor::fromRgbF(float(top.redF() * a + bottom.redF() * (1 - a)),
                            float(top.greenF() * a + bottom.greenF() * (1 - a)),
                            float(top.blueF() * a + bottom.blueF() * (1 - a)));
}

void applyLook(QLineEdit& field)
{
    const QColor back = Color::vornBackground().resolved();
    const QColor fill = over(Color::vornWell().resolved(), back);
    QColor edge = Color::vornFaint().resolved();
    edge.setAlphaF(0.7f);
    field.setStyleSheet(QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid %3;"
                                       " border-radius: 7px; padding: 2px 6px; }"
                                       "QLineEdit:focus { border-color: %4; }")
                            .arg(fill.name(), Color::vornText().resolved().name(), over(edge, back).name(),
                                 Color::vornSnooze().resolved().name()));
}

} // namespace

void giveFieldLook(QLineEdit& field)
{
    applyLook(field);
    QObject::connect(AppearanceWatcher::instance(), &AppearanceWatcher::changed, &field,
                     [&field] { applyLook(field); });
}

} // namespace vorn

#include "ui/components/ThemedLabel.h"

#include "pixel/VornFont.h"

namespace vorn {

QFont uiFont(int pixelSize, QFont::Weight weight)
{
    QFont f(VornFont::uiFamily());
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}

ThemedLabel::ThemedLabel(const QString& text, const QFont& font, const Color& color, QWidget* parent)
    : QLabel(text, parent), m_color(color)
{
    setFont(font);
    applyColor();
    connect(AppearanceWatcher::instance(), &AppearanceWatcher::changed, this, [this] { applyColor(); });
}

void ThemedLabel::setColor(const Color& color)
{
    m_color = color;
    applyColor();
}

void ThemedLabel::applyColor()
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, m_color.resolved());
    p.setColor(QPalette::Text, m_color.resolved());
    setPalette(p);
}

} // namespace vorn

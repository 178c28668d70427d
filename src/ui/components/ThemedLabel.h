#pragma once

#include "pixel/Theme.h"

#include <QFont>
#include <QLabel>

namespace vorn {

// A label in one of the theme colours; it re-resolves the colour when the appearance flips.
class ThemedLabel : public QLabel {
    Q_OBJECT

public:
    ThemedLabel(const QString& text, const QFont& font, const Color& color, QWidget* parent = nullptr);
    void setColor(const Color& color);
    const Color& color() const { return m_color; }

private:
    void applyColor();
    Color m_color;
};

// The UI face at a pixel size and weight.
QFont uiFont(int pixelSize, QFont::Weight weight = QFont::Normal);

} // namespace vorn

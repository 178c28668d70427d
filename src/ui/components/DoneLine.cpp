#include "ui/components/DoneLine.h"

#include "pixel/PixelView.h"
#include "pixel/Pixels.h"
#include "ui/components/ThemedLabel.h"

#include <QBoxLayout>

namespace vorn {

DoneLine::DoneLine(ListStyle style, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("doneLine"));
    auto* layout = new QHBoxLayout(this);
    const int padding = style == ListStyle::regular ? 12 : 8;
    layout->setContentsMargins(padding, 0, padding, 0);
    layout->setSpacing(10);
    layout->addStretch(1);
    layout->addWidget(PixelView::mark(Pixels::markSmall(), 2, this), 0, Qt::AlignVCenter);
    auto* label = new ThemedLabel(text(), uiFont(13), Color::vornText(), this);
    label->setObjectName(QStringLiteral("doneLineText"));
    layout->addWidget(label, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    setFixedHeight(40);
}

} // namespace vorn

#include "pixel/PixelImage.h"

#include "pixel/Pixels.h"

#include <QPainter>

using namespace Qt::StringLiterals;

namespace vorn::PixelImage {

const QImage& menuBarTemplate()
{
    static const QImage image = [] {
        const PixelGrid& face = Pixels::markLarge();
        QImage img(face.width(), face.height(), QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter painter(&img);
        // Whole cells at one pixel each: no antialiasing needed, and none wanted at the edges.
        for (const PixelRect& r : face.runs(u'Y'))
            painter.fillRect(r.x, r.y, r.width, r.height, Qt::black);
        painter.end();
        img.setText(u"Description"_s, u"vorn todo"_s);
        return img;
    }();
    return image;
}

QIcon menuBarIcon()
{
    QIcon icon;
    const QImage& base = menuBarTemplate();
    for (int scale : {1, 2, 3})
        icon.addPixmap(QPixmap::fromImage(
            base.scaled(base.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    icon.setIsMask(true);
    return icon;
}

QImage tinted(const QColor& color, int size)
{
    const QImage& base = menuBarTemplate();
    QImage img = size == base.width()
                     ? base.copy()
                     : base.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QPainter painter(&img);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(img.rect(), color);
    return img;
}

} // namespace vorn::PixelImage

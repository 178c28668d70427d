// pixel-gallery [FOLDER]: draws every pixel glyph, the snooze badge, the yawn frames, the theme and the
// "Vorn Pixel" font in light and dark, and writes them as PNG files into FOLDER (docs/pixel by default).

#include "pixel/PixelImage.h"
#include "pixel/PixelView.h"
#include "pixel/Pixels.h"
#include "pixel/Theme.h"
#include "pixel/VornFont.h"
#include "pixel/ZCount.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>

using namespace vorn;
using namespace Qt::StringLiterals;

namespace {

QLabel* label(const QString& text, const QFont& font, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    return l;
}

QFont small()
{
    QFont f(VornFont::uiFamily());
    f.setPixelSize(11);
    return f;
}

// One colour sample: the colour over the window background, a hairline in the faint colour around it.
class Swatch : public QWidget {
public:
    Swatch(QColor color, QWidget* parent) : QWidget(parent), m_color(color) { setFixedSize(56, 28); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), m_color);
        p.setPen(Color::vornFaint().resolved(palette()));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    QColor m_color;
};

QWidget* section(const QString& title, QLayout* body, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(10);
    v->addWidget(label(title, VornFont::font(VornFont::labelSize), box));
    v->addLayout(body);
    return box;
}

std::unique_ptr<QWidget> sheet(Appearance appearance)
{
    auto page = std::make_unique<QWidget>();
    page->setAutoFillBackground(true);
    auto* v = new QVBoxLayout(page.get());
    v->setContentsMargins(24, 20, 24, 24);
    v->setSpacing(22);
    v->addWidget(label(appearance == Appearance::dark ? u"vorn pixel, dark"_s : u"vorn pixel, light"_s,
                       VornFont::font(VornFont::titleSize), page.get()));

    // Glyphs at unit 4, the one-colour ones in the text colour, the faces with their own inks.
    struct Named {
        const char* name;
        const PixelGrid& grid;
        bool face;
    };
    const Named glyphs[] = {
        {"box", Pixels::box(), false},
        {"boxDone", Pixels::boxDone(), true},
        {"plus", Pixels::plus(), false},
        {"focus", Pixels::focus(), false},
        {"expand", Pixels::expand(), false},
        {"pin", Pixels::pin(), false},
        {"pinOff", Pixels::pinOff(), false},
        {"markSmall", Pixels::markSmall(), true},
        {"markLarge", Pixels::markLarge(), true},
        {"z", Pixels::z(), false},
    };
    auto* glyphRow = new QGridLayout;
    glyphRow->setHorizontalSpacing(18);
    int col = 0;
    for (const Named& g : glyphs) {
        PixelView* view =
            g.face ? PixelView::mark(g.grid, 4, page.get()) : new PixelView(g.grid, 4, page.get());
        glyphRow->addWidget(view, 0, col, Qt::AlignHCenter | Qt::AlignBottom);
        glyphRow->addWidget(label(QString::fromLatin1(g.name), small(), page.get()), 1, col,
                            Qt::AlignHCenter);
        ++col;
    }
    glyphRow->setColumnStretch(col, 1);
    v->addWidget(section(u"glyphs"_s, glyphRow, page.get()));

    // The faint colour, as the unticked boxes and plus signs use it.
    auto* faintRow = new QHBoxLayout;
    for (const PixelGrid* g : {&Pixels::box(), &Pixels::plus()}) {
        auto* view = new PixelView(*g, 3, page.get());
        view->setForeground(Color::vornFaint());
        faintRow->addWidget(view);
    }
    faintRow->addWidget(PixelView::mark(Pixels::boxDone(), 3, page.get()));
    faintRow->addStretch();

    auto* badges = new QGridLayout;
    badges->setHorizontalSpacing(28);
    int badgeCol = 0;
    for (int count : {1, 2, 3, 7}) {
        badges->addWidget(new ZCount(count, 3, page.get()), 0, badgeCol, Qt::AlignHCenter | Qt::AlignBottom);
        badges->addWidget(label(QString::number(count), small(), page.get()), 1, badgeCol, Qt::AlignHCenter);
        ++badgeCol;
    }
    auto* badgeRow = new QHBoxLayout;
    badgeRow->addLayout(badges);
    badgeRow->addSpacing(40);
    badgeRow->addLayout(faintRow);
    badgeRow->addStretch();
    v->addWidget(section(u"snooze badge 1 2 3 7, faint glyphs"_s, badgeRow, page.get()));

    auto* yawnRow = new QHBoxLayout;
    yawnRow->setSpacing(20);
    for (int f = 0; f < 4; ++f) {
        auto* cell = new QVBoxLayout;
        cell->addWidget(PixelView::mark(Pixels::yawnFrames()[size_t(f)], 4, page.get()), 0, Qt::AlignHCenter);
        cell->addWidget(label(QString::number(f), small(), page.get()), 0, Qt::AlignHCenter);
        yawnRow->addLayout(cell);
    }
    yawnRow->addSpacing(40);
    // The status-bar icon as made (black template) and tinted with the text colour, both at 4×.
    for (const QImage& icon :
         {PixelImage::menuBarTemplate(), PixelImage::tinted(Color::vornText().resolved(appearance))}) {
        auto* l = new QLabel(page.get());
        l->setPixmap(QPixmap::fromImage(icon.scaled(64, 64, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
        yawnRow->addWidget(l, 0, Qt::AlignTop);
    }
    yawnRow->addStretch();
    v->addWidget(section(u"yawn frames 0 1 2 3, status-bar icon"_s, yawnRow, page.get()));

    struct Fixed {
        const char* name;
        QColor color;
    };
    const Fixed fixed[] = {{"paper", Color::paper},       {"ink", Color::ink},
                           {"yawn", Color::yawn},         {"night", Color::night},
                           {"stone400", Color::stone400}, {"stone600", Color::stone600},
                           {"snooze", Color::snooze},     {"snoozeDeep", Color::snoozeDeep}};
    struct Adaptive {
        const char* name;
        const Color& color;
    };
    const Adaptive adaptive[] = {{"vornBackground", Color::vornBackground()},
                                 {"vornText", Color::vornText()},
                                 {"vornMuted", Color::vornMuted()},
                                 {"vornFaint", Color::vornFaint()},
                                 {"vornSnooze", Color::vornSnooze()},
                                 {"vornSelection", Color::vornSelection()},
                                 {"vornWell", Color::vornWell()},
                                 {"vornGlassTint", Color::vornGlassTint()}};
    auto* swatches = new QGridLayout;
    swatches->setHorizontalSpacing(12);
    swatches->setVerticalSpacing(4);
    for (int i = 0; i < 8; ++i) {
        swatches->addWidget(new Swatch(fixed[i].color, page.get()), 0, i);
        swatches->addWidget(label(QString::fromLatin1(fixed[i].name), small(), page.get()), 1, i);
        swatches->addWidget(new Swatch(adaptive[i].color.resolved(), page.get()), 2, i);
        swatches->addWidget(label(QString::fromLatin1(adaptive[i].name), small(), page.get()), 3, i);
    }
    swatches->setColumnStretch(8, 1);
    v->addWidget(section(u"theme: fixed, then adaptive"_s, swatches, page.get()));

    auto* fontBox = new QVBoxLayout;
    fontBox->setSpacing(6);
    fontBox->addWidget(
        label(u"today  done-ish  random  groceries"_s, VornFont::font(VornFont::titleSize), page.get()));
    fontBox->addWidget(label(u"Can\u2019t decide? Later, Monday, someday \u2026"_s,
                             VornFont::font(VornFont::labelSize), page.get()));
    fontBox->addWidget(label(u"Ünïcödé: Ærø, Ça va, señor, Straße, déjà vu, €12 \u2192 UI face"_s,
                             VornFont::font(VornFont::labelSize), page.get()));
    v->addWidget(section(u"Vorn Pixel at 40 and 20"_s, fontBox, page.get()));
    v->addStretch();
    return page;
}

// Every character the font draws, large and on a faint pixel grid, to compare with glyphs.txt.
QImage fontChart()
{
    QString chars;
    for (char16_t c = 0x21; c < 0x7f; ++c)
        chars += QChar(c);
    for (char16_t c = 0xa1; c <= 0xff; ++c)
        if (c != 0xad)
            chars += QChar(c);
    for (char16_t c : {0x0131, 0x2018, 0x2019, 0x201c, 0x201d, 0x2013, 0x2014, 0x2026, 0x2022, 0x20ac})
        chars += QChar(c);

    constexpr int px = 4; // one font pixel at 40 px
    constexpr int cellW = 9 * px, cellH = 13 * px;
    constexpr int perRow = 24;
    const int rows = int((chars.size() + perRow - 1) / perRow);
    QImage img(perRow * cellW + 16, rows * cellH + 16, QImage::Format_ARGB32_Premultiplied);
    img.fill(Color::paper);
    QPainter p(&img);
    const QFont font = VornFont::font(10 * px);
    p.setFont(font);
    for (int i = 0; i < chars.size(); ++i) {
        const int x0 = 8 + (i % perRow) * cellW;
        const int y0 = 8 + (i / perRow) * cellH;
        const int baseline = y0 + 10 * px;
        for (int gx = 0; gx < 8; ++gx)
            for (int gy = 0; gy < 12; ++gy)
                p.fillRect(x0 + gx * px, y0 + gy * px, px - 1, px - 1, QColor(0, 0, 0, 10));
        p.fillRect(x0, baseline, 8 * px, 1, QColor(111, 95, 232, 90)); // the baseline
        p.setPen(Color::ink);
        p.drawText(QPoint(x0, baseline), QString(chars[i]));
    }
    return img;
}

} // namespace

int main(int argc, char** argv)
{
    // Pictures only: no display needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VORN_GALLERY_DIR);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "pixel-gallery: cannot make %s\n", qPrintable(folder));
        return 1;
    }
    if (!VornFont::registerFont())
        std::fprintf(stderr,
                     "pixel-gallery: the Vorn Pixel font is missing; text falls back to the UI face\n");

    int failures = 0;
    auto save = [&](const QImage& image, const QString& name) {
        const QString path = QDir(folder).filePath(name);
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "pixel-gallery: cannot write %s\n", qPrintable(path));
            ++failures;
            return;
        }
        std::printf("%s\n", qPrintable(path));
    };

    for (Appearance appearance : {Appearance::light, Appearance::dark}) {
        // Switched the way the desktop does it: a new application palette.
        QApplication::setPalette(themedPalette(appearance));
        std::unique_ptr<QWidget> page = sheet(appearance);
        page->adjustSize();
        save(page->grab().toImage(),
             appearance == Appearance::dark ? u"pixel-dark.png"_s : u"pixel-light.png"_s);
    }
    save(fontChart(), u"font-chart.png"_s);
    return failures == 0 ? 0 : 1;
}

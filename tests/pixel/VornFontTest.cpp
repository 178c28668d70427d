#include "pixel/VornFont.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#include <map>

using namespace vorn;
using namespace Qt::StringLiterals;

namespace {

const QString kFamily = QString::fromUtf16(VornFont::family);

// Warnings Qt or we log while a test runs.
class WarningCatcher {
public:
    WarningCatcher() : m_previous(qInstallMessageHandler(&WarningCatcher::handle)) { s_messages.clear(); }
    ~WarningCatcher() { qInstallMessageHandler(m_previous); }
    const QStringList& messages() const { return s_messages; }

private:
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (type != QtDebugMsg && type != QtInfoMsg)
            s_messages.append(text);
    }
    static inline QStringList s_messages;
    QtMessageHandler m_previous;
};

// `text` drawn in black on transparent, its pen at (left, baseline).
QImage draw(const QString& text, const QFont& font, QSize size, QPoint pen)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(pen, text);
    return image;
}

// The plain glyph grids of the font source (composed letters are left out), by character.
std::map<char32_t, QStringList> sourceGrids()
{
    std::map<char32_t, QStringList> grids;
    QFile file(QStringLiteral(VORN_FONT_GRIDS));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return grids;
    QTextStream in(&file);
    std::optional<char32_t> current;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith(u"glyph "_s)) {
            const QString token = line.mid(6).trimmed();
            current = token.startsWith(u"U+"_s) && token.size() > 2
                          ? char32_t(token.mid(2).toUInt(nullptr, 16))
                          : token.toUcs4().value(0);
            grids[*current] = {};
        } else if (current && !line.isEmpty() && (line[0] == u'#' || line[0] == u'.')) {
            grids[*current].append(line);
        } else {
            current.reset();
        }
    }
    return grids;
}

TEST(VornFont, registersUnderItsFamilyFromTheResources)
{
    const std::optional<QString> family = VornFont::registerFont();
    ASSERT_TRUE(family.has_value()) << "the generated font is not in the resources";
    EXPECT_EQ(*family, kFamily);
    EXPECT_TRUE(QFontDatabase::hasFamily(kFamily));
    EXPECT_EQ(QFontInfo(VornFont::font(VornFont::labelSize)).family(), kFamily);
    // A second call registers nothing new.
    EXPECT_EQ(VornFont::registerFont(), family);
    EXPECT_EQ(QFontDatabase::families().count(kFamily), 1);
}

TEST(VornFont, coversAsciiAndTheLatin1Letters)
{
    QFile file(QString::fromUtf16(VornFont::resourcePath));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QRawFont raw(file.readAll(), 20);
    ASSERT_TRUE(raw.isValid());
    QString missing;
    for (char16_t c = 0x20; c < 0x7f; ++c)
        if (!raw.supportsCharacter(QChar(c)))
            missing += QChar(c);
    for (char16_t c = 0xc0; c <= 0xff; ++c)
        if (!raw.supportsCharacter(QChar(c)))
            missing += QChar(c);
    EXPECT_TRUE(missing.isEmpty()) << missing.toStdString();
}

TEST(VornFont, todayIsDrawnInWholeFontPixels)
{
    ASSERT_TRUE(VornFont::registerFont());
    // At 20 px one font pixel is 2 × 2 device pixels; with the pen on whole pixels every block is all
    // ink or all empty, even antialiased.
    const QFont font = VornFont::font(VornFont::labelSize);
    const QPoint pen(4, 24);
    const QImage image = draw(u"today"_s, font, {80, 32}, pen);

    // Advances of t, o, d, a and y: 5 + 6 + 6 + 6 + 6 font pixels.
    EXPECT_EQ(QFontMetrics(font).horizontalAdvance(u"today"_s), 58);
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int a = image.pixelColor(x, y).alpha();
            ASSERT_TRUE(a == 0 || a == 255) << "a blurred pixel at (" << x << ", " << y << ")";
            const int bx = pen.x() + ((x - pen.x()) & ~1);
            const int by = pen.y() + ((y - pen.y()) & ~1);
            ASSERT_EQ(a, image.pixelColor(bx, by).alpha())
                << "not a 2 × 2 block at (" << x << ", " << y << ")";
            ink += a == 255;
        }
    EXPECT_GT(ink, 4 * 40) << "hardly anything was drawn";
}

TEST(VornFont, everyGlyphIsItsGridCellForCell)
{
    ASSERT_TRUE(VornFont::registerFont());
    const std::map<char32_t, QStringList> grids = sourceGrids();
    ASSERT_GT(grids.size(), 95u);
    // At 10 px one font pixel is one device pixel; rows 1 to 7 of a grid stand on the baseline.
    QFont font = VornFont::font(10);
    font.setStyleStrategy(QFont::NoFontMerging);
    const QPoint pen(2, 10);
    for (const auto& [code, rows] : grids) {
        const QString text = QString::fromUcs4(&code, 1);
        const QImage image = draw(text, font, {14, 14}, pen);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const int row = y - (pen.y() - 7);
                const int col = x - pen.x();
                const bool want = row >= 0 && row < rows.size() && col >= 0 && col < rows[row].size() &&
                                  rows[row][col] == u'#';
                const int alpha = image.pixelColor(x, y).alpha();
                ASSERT_EQ(alpha, want ? 255 : 0) << "U+" << std::hex << unsigned(code) << std::dec
                                                 << " at column " << col << ", row " << row;
            }
    }
}

TEST(VornFont, charactersItLacksComeFromTheUiFace)
{
    ASSERT_TRUE(VornFont::registerFont());
    QFont ui(VornFont::uiFamily());
    ui.setPixelSize(VornFont::labelSize);
    ui.setHintingPreference(QFont::PreferNoHinting);
    for (const QString& text : {u"\u03a9"_s, u"\u2192"_s}) {
        const QImage inPixelFont = draw(text, VornFont::font(VornFont::labelSize), {40, 32}, {4, 24});
        const QImage inUiFace = draw(text, ui, {40, 32}, {4, 24});
        EXPECT_EQ(inPixelFont, inUiFace) << text.toStdString();
    }
}

TEST(VornFont, aMissingOrBrokenFontIsQuietlyNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString broken = dir.filePath(u"VornPixel-Regular.ttf"_s);
    {
        QFile f(broken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a font at all, just text that ends early");
    }
    WarningCatcher warnings;
    EXPECT_EQ(VornFont::registerFile(u":/fonts/NoSuchFont.ttf"_s), std::nullopt);
    EXPECT_EQ(VornFont::registerFile(dir.filePath(u"gone.ttf"_s)), std::nullopt);
    EXPECT_EQ(VornFont::registerFile(broken), std::nullopt);
    EXPECT_TRUE(warnings.messages().isEmpty()) << warnings.messages().join(u'\n').toStdString();
}

} // namespace

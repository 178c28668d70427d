#include "NoteTestSupport.h"
#include "notes/MarkerEdits.h"
#include "notes/ParagraphMarkers.h"
#include "notes/RichText.h"
#include "notes/Typography.h"

#include <QFile>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace vorn::notes;
using namespace Qt::StringLiterals;
using vorn::notes::test::paragraphs;

// RTF that other programs wrote, kept in tests/data/interop by scripts/interop, which made it with
// pandoc and LibreOffice from sample.md.
namespace {

QByteArray sample(const QString& name)
{
    QFile file(QStringLiteral(VORN_INTEROP_DATA "/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

// The format of the first character of the paragraph whose text contains `words`, and that paragraph.
std::pair<QTextBlock, QTextCharFormat> find(const QTextDocument& note, const QString& words)
{
    for (QTextBlock block = note.begin(); block.isValid(); block = block.next()) {
        const int at = int(block.text().indexOf(words));
        if (at >= 0)
            return {block, charFormatAt(note, block.position() + at).value_or(QTextCharFormat())};
    }
    ADD_FAILURE() << "no paragraph holds " << words.toStdString();
    return {};
}

TEST(Interop, rtfFromOtherProgramsKeepsItsTextHeadingsListsBoldAndItalic)
{
    struct Case {
        const char* file;
        TextRole firstHeading; // by the size the program gave it: pandoc 18 pt, LibreOffice 16 pt
    } cases[] = {{"pandoc.rtf", TextRole::subheading}, {"libreoffice.rtf", TextRole::body}};
    const QStringList expected = {
        u"Weekend plans"_s,
        u"Buy fresh bread and ripe pears at the market."_s,
        u"Errands"_s,
        u"\u2022\tpick up the parcel"_s,
        u"\u2022\treturn the library books"_s,
        u"1.\tcall the landlord"_s,
        u"2.\tpay the electricity bill"_s,
        u"Une note en fran\u00E7ais : caf\u00E9, cr\u00E8me br\u00FBl\u00E9e, na\u00EFve."_s,
        u"Zum Schluss: Gr\u00FC\u00DFe aus K\u00F6ln \u2013 \u201Ebis bald\u201C."_s,
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::optional<RichText::Decoded> decoded = RichText::decode(sample(QString::fromUtf8(c.file)));
        ASSERT_TRUE(decoded.has_value());
        const QTextDocument& note = *decoded->text;
        EXPECT_EQ(paragraphs(note), expected);
        EXPECT_TRUE(Typography::isBold(find(note, u"fresh bread"_s).second));
        EXPECT_FALSE(Typography::isBold(find(note, u"Buy"_s).second));
        EXPECT_TRUE(Typography::isItalic(find(note, u"ripe pears"_s).second));
        const auto [heading, headingFormat] = find(note, u"Weekend plans"_s);
        EXPECT_EQ(Typography::role(headingFormat), c.firstHeading);
        EXPECT_TRUE(Typography::isBold(headingFormat));
        const auto [item, itemFormat] = find(note, u"pick up the parcel"_s);
        EXPECT_EQ(item.blockFormat().leftMargin(), 24) << "a list item of ours";
    }
}

TEST(Interop, ourNoteSampleDecodesToTheTextItWasWrittenFrom)
{
    const std::optional<RichText::Decoded> decoded = RichText::decode(sample(u"note.rtf"_s));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(RichText::plainCopy(*decoded->text), QString::fromUtf8(sample(u"note.txt"_s)).trimmed());
}

} // namespace

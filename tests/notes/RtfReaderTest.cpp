#include "notes/RtfTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace vorn::rtf {
namespace {

using test::Chars;
using test::dump;
using test::Para;
using test::plainText;

QString textOf(const char* rtf)
{
    const std::optional<Document> doc = read(QByteArrayView(rtf));
    return doc ? plainText(*doc) : u"<refused>"_qs;
}

// Text, code pages, Unicode and symbols: what each snippet reads as (paragraphs joined by '|').
TEST(rtfReader, DecodesTextAsRtfSaysTo)
{
    struct Case {
        const char* rtf;
        QString expected;
    };
    const Case cases[] = {
        // Paragraphs, and the empty one after the last \par.
        {"{\\rtf1 a\\par b}", u"a|b"_qs},
        {"{\\rtf1 a\\par}", u"a"_qs},
        {"{\\rtf1 a\\par\\par}", u"a|"_qs},
        {"{\\rtf1 \\par}", u""_qs},
        {"{\\rtf1 a\\\nb}", u"a|b"_qs},
        {"{\\rtf1 a\r\nb\rc\nd}", u"abcd"_qs},
        {"\xEF\xBB\xBF \r\n{\\rtf1 bom}", u"bom"_qs},
        {"{\\rtf1 a}after the end{", u"a"_qs},
        // Code pages: the document's, a font's charset, a font's \cpg, 1252's own table.
        {"{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8 \xcf}", u"При П"_qs},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset161 G;}}\\f0 \\'e1}", u"α"_qs},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset177 H;}}\\f0 \\'f9\\'ec\\'e5\\'ed}", u"שלום"_qs},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset178 A;}}\\f0 \\'e3\\'d1\\'cd\\'c8\\'c7}", u"مرحبا"_qs},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset128 J;}}\\f0 \\'82\\'a0\\'93\\'fa\\'96\\'7b}", u"あ日本"_qs},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset134 C;}}\\f0 \\'c4\\'e3\\'ba\\'c3}", u"你好"_qs},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset129 K;}}\\f0 \\'c7\\'d1}", u"한"_qs},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset136 T;}}\\f0 \\'a4\\'a4}", u"中"_qs},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset238 E;}}\\f0 \\'9a}", u"š"_qs},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\cpg1253 G;}}\\f0 \\'e1}", u"α"_qs},
        {"{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset0 W;}{\\f1 C;}}\\f0\\'e9\\f1\\'e9}", u"éй"_qs},
        {"{\\rtf1\\ansi\\ansicpg9999 \\'80}", u"€"_qs},
        {"{\\rtf1\\ansi \\'80\\'85\\'e9\\'81}", u"€…é\u0081"_qs},
        // \u: signed values, surrogates, fallbacks of \ucN characters.
        {"{\\rtf1 \\u233?\\u-3?\\u-10179?\\u-8704?}", u"é\uFFFD😀"_qs},
        {"{\\rtf1 \\uc0\\u233\\u233 x}", u"ééx"_qs},
        {"{\\rtf1 \\uc2\\u233 ab c}", u"é c"_qs},
        {"{\\rtf1 \\u233\\'e9x}", u"éx"_qs},
        {"{\\rtf1 \\uc3\\u233\\'e9\\b x}", u"é"_qs},
        {"{\\rtf1 \\uc5\\u233 a{b}}", u"éb"_qs},
        {"{\\rtf1 \\u-10179?x}", u"\uFFFDx"_qs},
        {"{\\rtf1 \\u-8704?x}", u"\uFFFDx"_qs},
        {"{\\rtf1 \\u-10179?\\u-10179?\\u-8704?}", u"\uFFFD😀"_qs},
        {"{\\rtf1 \\u-10179?}", u"\uFFFD"_qs},
        {"{\\rtf1 \\u99999999?\\u65536?\\u-32769?\\u65535?\\u-32768?}", u"\uFFFD\uFFFD\uFFFD\uFFFF\u8000"_qs},
        // The halves of a pair join across \ucN changes between them (LibreOffice writes them so).
        {"{\\rtf1 \\uc0 \\u55358\\uc1 \\u56714\\'3f}", u"\U0001F98A"_qs},
        {"{\\rtf1 \\uc1\\u55358 ?\\uc2\\uc0 \\u56714 x}", u"\U0001F98Ax"_qs},
        {"{\\rtf1 \\uc0 \\u55358 \\uc1\r\n\\u56714?}", u"\U0001F98A"_qs},
        {"{\\rtf1 \\uc0\\u55358\\uc1\\u56714?\\uc0\\u55357\\uc1\\u56832?}", u"\U0001F98A\U0001F600"_qs},
        // A half still alone after them is one replacement character.
        {"{\\rtf1 \\uc0 \\u55358\\uc1 x}", u"\uFFFDx"_qs},
        {"{\\rtf1 \\uc0 \\u55358\\uc1 \\b\\u56714?}", u"\uFFFD\uFFFD"_qs},
        {"{\\rtf1 \\uc0 \\u55358  \\uc1 \\u56714?}", u"\uFFFD \uFFFD"_qs},
        // Symbols.
        {"{\\rtf1 a\\~b\\-c\\_d\\\\\\{\\}}", u"a\u00A0bc\u2011d\\{}"_qs},
        {"{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote\\tab\\line x}",
         u"—–•‘’“”\t\u2028x"_qs},
        {"{\\rtf1 a\x01\x7f b}", u"a\x7f b"_qs},
        // List labels other programs write become our markers; a label of only spaces and TABs goes.
        {"{\\rtf1 {\\listtext\\pard\\plain  1.\\tab}item}", u"1.\titem"_qs},
        {"{\\rtf1 {\\listtext\\f7\\fs18 \\u8226\\'95\\tab}item}", u"\u2022\titem"_qs},
        {"{\\rtf1 {\\listtext\\pard\\plain \\tab}Heading}", u"Heading"_qs},
        {"{\\rtf1 {\\pntext 2.\\tab}{\\b x}}", u"2.\tx"_qs},
        // What is not text.
        {"{\\rtf1 a{\\*\\foo b}{\\*\\fldinst c}{\\pict d}{\\header e}{\\stylesheet{f;}}g}", u"ag"_qs},
        {"{\\rtf1 {\\foo b}}", u"b"_qs},
        {"{\\rtf1 a{\\pict\\bin5 {{\\}x}b}", u"ab"_qs},
        {"{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"u\"}{\\fldrslt link}}}", u"link"_qs},
        {"{\\rtf1 {\\info{\\title t}{\\doccomm c}}x}", u"x"_qs},
        {"{\\rtf1 a\\'zz\\'4}", u"azz4"_qs}, // a broken escape drops only itself
    };
    for (const Case& c : cases)
        EXPECT_EQ(textOf(c.rtf), c.expected) << c.rtf;
}

TEST(rtfReader, CharacterPropertiesFollowTheGroups)
{
    const std::optional<Document> doc = read(QByteArrayView(
        "{\\rtf1\\deff1{\\fonttbl{\\f0 Zero;}{\\f1\\fnil One;}}{\\colortbl;\\red1\\green2\\blue3;;}"
        "a{\\b b{\\i\\ul c}\\ulnone\\uldb d\\ul0\\ulc2 e}{\\fs21\\expnd-2 f}{\\fs15\\expndtw30\\cf1 g}"
        "{\\cf2 h}{\\f0 i\\plain j}{\\b k}{\\b l}\\b m\\b0 n\\par}"));
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->paragraphs.size(), 1u);
    const std::vector<rtf::Run>& runs = doc->paragraphs[0].runs;
    const QString one = u"One"_qs;
    const std::vector<rtf::Run> expected = {
        {u"a"_qs, Chars().font(one)},
        {u"b"_qs, Chars().font(one).bold()},
        {u"c"_qs, Chars().font(one).bold().italic().underline()},
        {u"d"_qs, Chars().font(one).bold().underline()},
        {u"e"_qs, Chars().font(one).bold()},
        {u"f"_qs, Chars().font(one).size(10.5).kern(-0.5)},
        {u"g"_qs, Chars().font(one).size(7.5).color(0xFF010203u).kern(1.5)},
        {u"h"_qs, Chars().font(one)}, // an empty colour table entry is the automatic colour
        {u"i"_qs, Chars().font(u"Zero"_qs)},
        {u"j"_qs, Chars().font(one)},
        {u"klm"_qs, Chars().font(one).bold()}, // equal neighbours merge
        {u"n"_qs, Chars().font(one)},
    };
    EXPECT_EQ(dump(Document{{Paragraph{{}, runs}}, {}}), dump(Document{{Paragraph{{}, expected}}, {}}));
}

TEST(rtfReader, ParagraphPropertiesLastUntilPard)
{
    const std::optional<Document> doc = read(QByteArrayView(
        "{\\rtf1\\pard\\rtlpar\\qr\\sb20\\sa40\\li60\\ri80\\fi-100\\tx120\\tqr\\tx240\\sl360\\slmult1 a\\par "
        "b\\par\\pard\\qj c\\par\\pard\\qc{\\*\\vornlinegap50}d\\par\\pard\\ql\\ltrpar e}"));
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->paragraphs.size(), 5u);
    const ParaProps first = Para()
                                .rtl()
                                .align(Alignment::Right)
                                .before(1)
                                .after(2)
                                .left(3)
                                .right(4)
                                .first(-5)
                                .tabs(std::vector<double>{6, 12});
    EXPECT_TRUE(doc->paragraphs[0].props == first);
    EXPECT_TRUE(doc->paragraphs[1].props == first);
    EXPECT_TRUE(doc->paragraphs[2].props == ParaProps(Para().align(Alignment::Justify)));
    EXPECT_TRUE(doc->paragraphs[3].props == ParaProps(Para().align(Alignment::Center).gap(2.5)));
    EXPECT_TRUE(doc->paragraphs[4].props == ParaProps(Para().align(Alignment::Left)));
}

TEST(rtfReader, ReadsWhatWordWrites)
{
    const std::optional<Document> doc = read(QByteArrayView(
        "{\\rtf1\\adeflang1025\\ansi\\ansicpg1252\\uc1\\adeff31507\\deff0\\stshfdbch31505\r\n"
        "{\\fonttbl{\\f0\\fbidi \\froman\\fcharset0\\fprq2{\\*\\panose 02020603050405020304}Times New Roman;}"
        "{\\f1\\fbidi \\fswiss\\fcharset0\\fprq2{\\*\\panose 020b0604020202020204}Arial;}}\r\n"
        "{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
        "{\\*\\defchp \\fs22}{\\stylesheet{\\ql \\li0\\ri0 \\fs22 \\snext0 Normal;}}{\\*\\rsidtbl "
        "\\rsid123}\r\n"
        "{\\header \\pard\\qc Header text\\par}\r\n"
        "\\pard\\plain \\ltrpar\\ql \\li720\\ri0\\sb120\\sa240\\fi-360\\tx1440\\tx2880 \\f1\\fs22 {\\b Bold} "
        "and "
        "{\\field{\\*\\fldinst {HYPERLINK \"https://example.com/\"}}{\\fldrslt {\\ul\\cf2 a link}}} with "
        "{\\pict\\pngblip\\picw10 89504e47\\bin4 {{\\}} an image.\\par\r\n"
        "\\pard\\plain \\qc {\\f1\\fs22 \\'93quoted\\'94 \\emdash  \\u8220\\'93x\\u8221\\'94}\\par\r\n"
        "{\\*\\themedata 504b0304}{\\*\\latentstyles\\lsdstimax376{\\lsdlockedexcept Normal;}}}"));
    ASSERT_TRUE(doc);
    const CharProps arial = Chars().font(u"Arial"_qs).size(11);
    CharProps bold = arial;
    bold.bold = true;
    CharProps link = arial;
    link.underline = true;
    link.color = 0xFF0000FFu;
    const Document expected{{Paragraph{Para()
                                           .align(Alignment::Left)
                                           .before(6)
                                           .after(12)
                                           .left(36)
                                           .first(-18)
                                           .tabs(std::vector<double>{72, 144}),
                                       {{u"Bold"_qs, bold},
                                        {u" and "_qs, arial},
                                        {u"a link"_qs, link},
                                        {u" with  an image."_qs, arial}}},
                             Paragraph{Para().align(Alignment::Center), {{u"“quoted” — “x”"_qs, arial}}}},
                            {}};
    EXPECT_EQ(dump(*doc), dump(expected));
}

// Input meant to crash, hang or exhaust the reader: each is refused or read, and quickly.
TEST(rtfReader, HostileInputIsRefusedOrReadInBoundedTime)
{
    enum Outcome { Refused, Read };
    struct Case {
        const char* name;
        std::function<QByteArray()> input;
        Outcome outcome;
        std::function<void(const Document&)> check = {};
    };
    auto repeat = [](const char* piece, int times) -> QByteArray {
        return QByteArray(piece).repeated(times);
    };
    auto wrap = [](const QByteArray& body) -> QByteArray { return "{\\rtf1\\ansi " + body + "}"; };
    const QByteArray fiveMb(5 * 1024 * 1024, 'a');
    const Case cases[] = {
        {"empty", []() -> QByteArray { return QByteArray(); }, Refused},
        {"not RTF", []() -> QByteArray { return QByteArray("hello {\\rtf1 x}"); }, Refused},
        {"no group", []() -> QByteArray { return QByteArray("\\rtf1 x"); }, Refused},
        {"cut in the magic", []() -> QByteArray { return QByteArray("{\\rt"); }, Refused},
        {"truncated keeps its text", []() -> QByteArray { return QByteArray("{\\rtf1 {\\b hello\\par wor"); },
         Read, [](const Document& d) { EXPECT_EQ(plainText(d), u"hello|wor"_qs); }},
        {"truncated after a backslash", []() -> QByteArray { return QByteArray("{\\rtf1 x\\"); }, Read,
         [](const Document& d) { EXPECT_EQ(plainText(d), u"x"_qs); }},
        {"200,000 nested groups", [&]() -> QByteArray { return "{\\rtf1" + repeat("{", 200000); }, Refused},
        {"1,000 nested groups are fine",
         [&]() -> QByteArray { return "{\\rtf1" + repeat("{", 1000) + "deep" + repeat("}", 1001); }, Read,
         [](const Document& d) { EXPECT_EQ(plainText(d), u"deep"_qs); }},
        {"\\bin4000000000", [&]() -> QByteArray { return wrap("\\bin4000000000 x"); }, Refused},
        {"\\bin of 2 GB", [&]() -> QByteArray { return wrap("\\bin2147483647 x"); }, Refused},
        {"\\bin past the end", [&]() -> QByteArray { return wrap("\\bin10 abc"); }, Refused},
        {"negative \\bin", [&]() -> QByteArray { return wrap("\\bin-1 abc"); }, Refused},
        {"eleven digits", [&]() -> QByteArray { return wrap("\\fs12345678901 x"); }, Refused},
        {"\\u99999999", [&]() -> QByteArray { return wrap("\\u99999999?x"); }, Read,
         [](const Document& d) { EXPECT_EQ(plainText(d), u"\uFFFDx"_qs); }},
        {"lone surrogate", [&]() -> QByteArray { return wrap("\\u55357?x\\u56832?"); }, Read,
         [](const Document& d) { EXPECT_EQ(plainText(d), u"\uFFFDx\uFFFD"_qs); }},
        {"huge \\uc", [&]() -> QByteArray { return wrap("\\uc2147483647\\u233 abc{x}"); }, Read,
         [](const Document& d) { EXPECT_EQ(plainText(d), u"éx"_qs); }},
        {"100,000 fonts",
         [&] {
             QByteArray fonts = "{\\fonttbl";
             for (int i = 0; i < 100000; ++i)
                 fonts += "{\\f" + QByteArray::number(i) + " F" + QByteArray::number(i) + ";}";
             return wrap(fonts + "}\\f99999 x");
         },
         Read,
         [](const Document& d) {
             ASSERT_EQ(plainText(d), u"x"_qs);
             EXPECT_EQ(d.paragraphs[0].runs[0].props.fontFamily, u"F99999"_qs);
         }},
        {"100,000 colours",
         [&]() -> QByteArray { return wrap("{\\colortbl;" + repeat("\\red1;", 100000) + "}\\cf99999 x"); },
         Read, [](const Document& d) { EXPECT_EQ(d.paragraphs.at(0).runs.at(0).props.color, 0xFF010000u); }},
        {"a 5 MB paragraph", [&]() -> QByteArray { return wrap(fiveMb); }, Read,
         [&](const Document& d) { EXPECT_EQ(d.paragraphs.at(0).runs.at(0).text.size(), fiveMb.size()); }},
        {"a million \\'hh in a double-byte code page",
         [&]() -> QByteArray { return wrap("\\ansicpg932 " + repeat("\\'82\\'a0", 500000)); }, Read,
         [](const Document& d) { EXPECT_EQ(plainText(d), QString(500000, QChar(0x3042))); }},
        {"200,000 runs", [&]() -> QByteArray { return wrap(repeat("\\b x\\b0 y", 100000)); }, Read,
         [](const Document& d) { EXPECT_EQ(d.paragraphs.at(0).runs.size(), 200000u); }},
        {"a million broken escapes", [&]() -> QByteArray { return wrap(repeat("\\'", 1000000)); }, Read,
         [](const Document& d) { EXPECT_TRUE(d.paragraphs.empty()); }},
        {"200,000 tab stops, 50,000 paragraphs",
         [&]() -> QByteArray { return wrap(repeat("\\tx1", 200000) + repeat("\\par", 50000)); }, Read,
         [](const Document& d) {
             ASSERT_EQ(d.paragraphs.size(), 50000u);
             EXPECT_EQ(d.paragraphs.back().props.tabStops.size(), std::size_t(maxTabStops));
         }},
        {"200,000 \\* groups", [&]() -> QByteArray { return wrap(repeat("{\\*\\x{y}}", 200000) + "z"); },
         Read, [](const Document& d) { EXPECT_EQ(plainText(d), u"z"_qs); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray input = c.input();
        const qint64 start = vorn::test::threadCpuMSecs();
        const std::optional<Document> doc = read(input);
        // A guard against runaway work: anything quadratic takes minutes at these sizes. Under ASan the
        // slowest case takes about 1 s of processor time alone and over 2 s while a build runs beside it
        // (processor time counts cache and memory stalls too); Release reads each in well under a second.
        EXPECT_LT(vorn::test::threadCpuMSecs() - start, 6000);
        EXPECT_EQ(doc.has_value(), c.outcome == Read);
        if (doc && c.check)
            c.check(*doc);
    }
}

} // namespace
} // namespace vorn::rtf

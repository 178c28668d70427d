#include "notes/RichText.h"
#include "NoteTestSupport.h"
#include "notes/DocumentCopy.h"
#include "notes/MarkerEdits.h"
#include "notes/NoteComment.h"
#include "notes/NoteDump.h"
#include "notes/ParagraphMarkers.h"
#include "notes/RichTextRtf.h"
#include "notes/Sections.h"
#include "notes/Typography.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace vorn::notes;
using namespace Qt::StringLiterals;
using vorn::notes::test::paragraphs;
namespace rtf = vorn::rtf;

namespace {

TEST(NoteComment, readsLenientlyAndWritesOnlyWhatHasContent)
{
    struct Case {
        QString comment;
        QList<int> collapsible;
        QList<int> collapsed;
        std::optional<qint64> created;
    } cases[] = {
        {u"collapsed=1"_s, {1}, {1}, std::nullopt},
        {u"collapsible=0,x,2;nokey"_s, {0, 2}, {}, std::nullopt},
        {u"collapsible=0,2;collapsed=2"_s, {0, 2}, {2}, std::nullopt},
        {u"collapsible=1;collapsible=3"_s, {3}, {}, std::nullopt},
        {u";;created=1700000000,5;collapsed=+4,-1,"_s, {4, -1}, {4, -1}, 1700000000},
        {u"=5;collapsed=;collapsible"_s, {}, {}, std::nullopt},
        {u"collapsible=,;collapsed=2"_s, {}, {2}, std::nullopt},
        {u"collapsed=99999999999,1, 2,3x"_s, {1}, {1}, std::nullopt},
        {u"created=abc"_s, {}, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        const NoteComment read = NoteComment::read(c.comment);
        EXPECT_EQ(read.collapsible, c.collapsible) << c.comment.toStdString();
        EXPECT_EQ(read.collapsed, c.collapsed) << c.comment.toStdString();
        EXPECT_EQ(read.created, c.created) << c.comment.toStdString();
    }
    EXPECT_EQ((NoteComment{{0, 2}, {2}, std::nullopt}.write()), u"collapsible=0,2;collapsed=2"_s);
    EXPECT_EQ(NoteComment{}.write(), QString());
}

TEST(RichText, aPlainNoteGetsItsListsAndDividersBack)
{
    const QString rule = QString(8, QChar(0x2500));
    const QString text =
        u"Shopping\r\n\u2610\tmilk\n\u2611\teggs\n"_s + rule + u"\n\u200F\u05E9\u05DC\u05D5\u05DD"_s;
    const auto document = RichText::plain(text);
    EXPECT_EQ(paragraphs(*document), (QStringList{u"Shopping"_s, u"\u2610\tmilk"_s, u"\u2611\teggs"_s, rule,
                                                  u"\u200F\u05E9\u05DC\u05D5\u05DD"_s}));
    const QTextBlock milk = document->findBlockByNumber(1);
    EXPECT_EQ(milk.blockFormat().leftMargin(), 24);
    EXPECT_EQ(milk.blockFormat().tabPositions().size(), 1);
    const QTextBlock divider = document->findBlockByNumber(3);
    EXPECT_TRUE(divider.blockFormat().nonBreakableLines());
    const QTextCharFormat dividerFont = *charFormatAt(*document, divider.position());
    EXPECT_EQ(dividerFont.intProperty(QTextFormat::FontPixelSize), Typography::dividerSize);
    EXPECT_EQ(dividerFont.fontWeight(), QFont::Light);
    EXPECT_EQ(document->lastBlock().blockFormat().layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(Typography::role(*charFormatAt(*document, 0)), TextRole::body);
    EXPECT_FALSE(document->isUndoAvailable()) << "loading is not an edit to undo";

    // The plain copy is the text again, line breaks as LF, trimmed.
    EXPECT_EQ(RichText::plainCopy(*RichText::plain(u"\n  "_s + text + u"\n\n"_s)),
              QString(text).replace(u"\r\n"_s, u"\n"_s));
}

rtf::Run run(const QString& text, double size, const QString& family = u"Times New Roman"_s,
             bool bold = false, bool italic = false, bool underline = false)
{
    rtf::Run r;
    r.text = text;
    r.props.fontFamily = family;
    r.props.pointSize = size;
    r.props.bold = bold;
    r.props.italic = italic;
    r.props.underline = underline;
    r.props.color = qRgb(200, 0, 0);
    return r;
}

TEST(RichText, normalisingGivesEachParagraphTheRoleOfItsFirstCharacter)
{
    rtf::Document foreign;
    foreign.paragraphs.push_back(
        {{}, {run(u"Head"_s, 21), run(u"ing"_s, 12, u"Courier"_s, true, true, true)}});
    foreign.paragraphs.push_back({{}, {run(u"body "_s, 11), run(u"big"_s, 30)}});
    foreign.paragraphs.push_back({{}, {run(QString(10, QChar(0x2500)), 30, u"Arial"_s, true)}});
    QTextDocument document;
    RichTextRtf::fromRtf(foreign, document);
    RichText::normalize(document);

    struct Expect {
        int position;
        double size;
        int weight;
        bool italic;
        bool underline;
    } expected[] = {
        {0, 21, QFont::Normal, false, false},  // "Head": a heading, not bold in the source
        {5, 21, QFont::DemiBold, true, true},  // "ing": bold becomes the heading's semibold
        {9, 15, QFont::Normal, false, false},  // "body "
        {15, 15, QFont::Normal, false, false}, // "big" follows its paragraph
        {18, Typography::dividerSize, QFont::Light, false, false},
    };
    for (const Expect& e : expected) {
        const QTextCharFormat f = *charFormatAt(document, e.position);
        EXPECT_EQ(f.intProperty(QTextFormat::FontPixelSize), e.size) << e.position;
        EXPECT_EQ(f.fontWeight(), e.weight) << e.position;
        EXPECT_EQ(f.fontItalic(), e.italic) << e.position;
        EXPECT_EQ(f.fontUnderline(), e.underline) << e.position;
        EXPECT_EQ(f.fontFamilies().toStringList(), QStringList{Typography::family()}) << e.position;
    }
    const QTextCharFormat heading = *charFormatAt(document, 0);
    EXPECT_FALSE(heading.hasProperty(QTextFormat::ForegroundBrush))
        << "the standard colour follows the palette";
    EXPECT_EQ(Typography::kern(heading), Typography::kern(TextRole::heading));
    EXPECT_EQ(document.firstBlock().blockFormat().topMargin(), 12) << "styled as a heading";
}

// A note with every feature: roles, traits, underline, every list kind, a divider, right-to-left
// paragraphs (by letter and by mark), characters outside the BMP and RTF's own special characters.
std::unique_ptr<QTextDocument> everyFeature()
{
    auto note = RichText::plain(u"Title\nHeading {with} \\braces\nSub\nbody bold italic under\n"
                                u"\u2610\topen\n\u2611\tdone\n1.\tone\n2.\ttwo\n\u2022\tbullet\n"_s +
                                ParagraphMarkers::divider() +
                                u"\n\u05E9\u05DC\u05D5\u05DD \U0001F600\n\n42\n\u200F\u2022\tmarked\n"
                                u"\u200Ethe end \U00010348"_s);
    const auto span = [&](int paragraph, int from, int length, auto&& change) {
        const QTextBlock block = note->findBlockByNumber(paragraph);
        QTextCursor cursor(note.get());
        cursor.setPosition(block.position() + from);
        cursor.setPosition(block.position() + (length < 0 ? block.length() - 1 : from + length),
                           QTextCursor::KeepAnchor);
        QTextCharFormat format;
        change(format);
        cursor.mergeCharFormat(format);
    };
    span(0, 0, -1,
         [](QTextCharFormat& f) { Typography::setFont(f, Typography::font(TextRole::title, {}, false)); });
    span(1, 0, -1,
         [](QTextCharFormat& f) { Typography::setFont(f, Typography::font(TextRole::heading, {}, true)); });
    span(2, 0, -1, [](QTextCharFormat& f) {
        Typography::setFont(f, Typography::font(TextRole::subheading, false, false));
    });
    span(3, 5, 4, [](QTextCharFormat& f) { f.setFontWeight(QFont::Bold); });
    span(3, 10, 6, [](QTextCharFormat& f) { f.setFontItalic(true); });
    span(3, 17, 5, [](QTextCharFormat& f) { f.setFontUnderline(true); });
    span(5, 2, 4, [](QTextCharFormat& f) { f.setFontUnderline(true); });
    RichText::normalize(*note);
    return note;
}

TEST(RichText, aNoteWithEveryFeatureSurvivesEncodeAndDecode)
{
    const auto note = everyFeature();
    const NoteComment sections{{0, 1}, {1}, std::nullopt};
    const QByteArray rtf = RichText::encode(*note, sections);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    EXPECT_TRUE(rtf.contains("collapsible=0,1;collapsed=1"));

    const std::optional<RichText::Decoded> decoded = RichText::decode(rtf);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(dump(*decoded->text), dump(*note));
    EXPECT_EQ(decoded->text->toRawText(), note->toRawText());
    EXPECT_EQ(decoded->sections, sections);
    for (QTextBlock a = note->begin(), b = decoded->text->begin(); a.isValid() && b.isValid();
         a = a.next(), b = b.next()) {
        EXPECT_TRUE(Typography::sameParagraphStyle(a.blockFormat(), b.blockFormat()))
            << a.text().toStdString();
        EXPECT_EQ(charFormatAt(*note, a.position())->intProperty(QTextFormat::FontPixelSize),
                  charFormatAt(*decoded->text, b.position())->intProperty(QTextFormat::FontPixelSize));
    }
    // The dump itself is what the round trip is judged by: make sure it sees what matters.
    const QString text = dump(*note);
    for (const char* expected :
         {"#0 plain title ltr", "#1 plain heading ltr", "#2 plain subheading ltr", "    b-- \"bold\"",
          "    -i- \"italic\"", "    --u \"under\"", "#4 checkbox body", "#5 checkbox(checked)",
          "#7 number(2)", "#9 divider", "#10 plain body rtl", "#11 plain body rtl", "#12 plain body rtl",
          "#13 bullet body rtl", "#14 plain body ltr"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();
    EXPECT_EQ(RichText::plainCopy(*decoded->text), RichText::plainCopy(*note));

    // Decoding normalises on the way in; normalising again must find nothing left to change.
    const QString html = decoded->text->toHtml();
    RichText::normalize(*decoded->text);
    EXPECT_EQ(decoded->text->toHtml(), html);
}

TEST(RichText, aSnapshotEncodesAsItsDocumentDidWhenTakenWhateverHappensToItAfter)
{
    // Every feature, an empty note, a plain one, and text with an embedded object.
    std::vector<std::unique_ptr<QTextDocument>> notes;
    notes.push_back(everyFeature());
    notes.push_back(RichText::plain(QString()));
    notes.push_back(RichText::plain(u"one\n\u2022\ttwo\n\n---\nthree"_s));
    notes.push_back(RichText::plain(u"before"_s));
    QTextCursor(notes.back().get()).insertText(QString(QChar::ObjectReplacementCharacter) + u"after"_s);
    const NoteComment sections{{0}, {}, std::nullopt};
    for (const auto& note : notes) {
        SCOPED_TRACE(note->toRawText().toStdString());
        const QByteArray expected = RichText::encode(*note, sections);
        const RichText::Snapshot snapshot{RichTextRtf::snapshot(*note), sections};
        // Edited after the snapshot: new text, new formats, a paragraph gone.
        QTextCursor cursor(note.get());
        cursor.insertText(u"typed since "_s);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        cursor.select(QTextCursor::Document);
        cursor.mergeCharFormat(bold);
        cursor.movePosition(QTextCursor::End);
        cursor.movePosition(QTextCursor::PreviousBlock, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        EXPECT_EQ(RichText::encode(snapshot), expected);
    }
}

TEST(RichText, aKeptCopySnapshotsAsTheWholeDocumentWouldAfterEveryKindOfEdit)
{
    const auto note = everyFeature();
    const DocumentCopy copy(*note);
    std::mt19937 random(7);
    const auto pick = [&](int below) { return int(random() % unsigned(std::max(below, 1))); };
    const QTextCharFormat heading = Typography::roleFormat(TextRole::heading, std::nullopt, false);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    for (int step = 0; step < 400; ++step) {
        QTextCursor cursor(note.get());
        const int length = note->characterCount() - 1;
        cursor.setPosition(pick(length + 1));
        cursor.setPosition(std::min(length, cursor.position() + pick(40)), QTextCursor::KeepAnchor);
        const int kind = pick(9);
        SCOPED_TRACE("step " + std::to_string(step) + " kind " + std::to_string(kind));
        switch (kind) {
        case 0:
            cursor.insertText(u"typed"_s);
            break;
        case 1:
            cursor.insertText(u"one\ntwo\nthree"_s);
            break; // paragraphs in, a selection out
        case 2:
            cursor.removeSelectedText();
            break;
        case 3:
            cursor.mergeCharFormat(pick(2) ? bold : heading);
            break;
        case 4: {
            QTextBlockFormat indented;
            indented.setIndent(pick(3));
            cursor.mergeBlockFormat(indented);
            break;
        }
        case 5:
            cursor.insertBlock();
            break;
        case 6:
            note->undo();
            break;
        case 7:
            note->redo();
            break;
        case 8: // several places in one edit block, as the list commands do
            cursor.beginEditBlock();
            cursor.insertText(u"x"_s);
            cursor.movePosition(QTextCursor::End);
            cursor.insertBlock();
            cursor.insertText(u"tail"_s);
            cursor.endEditBlock();
            break;
        }
        const RichTextRtf::Snapshot kept = copy.snapshot(), fresh = RichTextRtf::snapshot(*note);
        ASSERT_EQ(RichText::encode(RichText::Snapshot{kept, {}}),
                  RichText::encode(RichText::Snapshot{fresh, {}}));
        ASSERT_EQ(copy.headings(), Sections::headings(*note));
        ASSERT_EQ(plainText(kept), note->toRawText().replace(QChar::ParagraphSeparator, u'\n'));
    }
    note->clear();
    EXPECT_EQ(RichText::encode(RichText::Snapshot{copy.snapshot(), {}}), RichText::encode(*note));
}

TEST(RichText, rolesAreWrittenAtTheirPointSizesAndReadBackAsTheSameRoles)
{
    const QByteArray rtf = RichText::encode(*everyFeature());
    for (const char* size : {"\\fs56", "\\fs42", "\\fs34", "\\fs30", "\\fs20"})
        EXPECT_TRUE(rtf.contains(size)) << size;

    const auto read = RichText::decode("{\\rtf1\\ansi\\fs30 body\\par\\fs42 heading\\par\\fs56 title}");
    ASSERT_TRUE(read.has_value());
    const struct {
        int paragraph;
        TextRole role;
    } cases[] = {{0, TextRole::body}, {1, TextRole::heading}, {2, TextRole::title}};
    for (const auto& c : cases) {
        const QTextCharFormat f =
            *charFormatAt(*read->text, read->text->findBlockByNumber(c.paragraph).position());
        EXPECT_EQ(Typography::role(f), c.role) << c.paragraph;
        EXPECT_EQ(f.intProperty(QTextFormat::FontPixelSize), Typography::size(c.role)) << c.paragraph;
    }
}

TEST(RichText, unreadableDataGivesNothingSoTheCallerFallsBackToThePlainCopy)
{
    for (const QByteArray& data : {QByteArray(), QByteArray("plain words"), QByteArray("{\\rtf1 {{{"),
                                   QByteArray(200'000, '{').prepend("{\\rtf1")}) {
        const std::optional<RichText::Decoded> decoded = RichText::decode(data);
        if (decoded) {
            EXPECT_TRUE(RichText::plainCopy(*decoded->text).isEmpty()) << data.left(20).toStdString();
        }
    }
    EXPECT_FALSE(RichText::decode("plain words").has_value());
}

} // namespace

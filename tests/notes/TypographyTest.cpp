#include "notes/Typography.h"
#include "NoteTestSupport.h"
#include "notes/Bidi.h"
#include "notes/ParagraphStyler.h"

#include <QTextCursor>

#include <gtest/gtest.h>

using namespace vorn::notes;
using namespace Qt::StringLiterals;

namespace {

TEST(Typography, rolesAreReadBackFromSizesAtTheirThresholds)
{
    const std::pair<double, TextRole> cases[] = {
        {28, TextRole::title},     {26.5, TextRole::title},      {26.4, TextRole::heading},
        {19.5, TextRole::heading}, {19.4, TextRole::subheading}, {16.5, TextRole::subheading},
        {16.4, TextRole::body},    {12, TextRole::body},         {0, TextRole::body},
    };
    for (const auto& [size, role] : cases)
        EXPECT_EQ(Typography::role(size), role) << size;
    EXPECT_EQ(Typography::role(QTextCharFormat()), TextRole::body) << "no font is body";
    for (TextRole role : {TextRole::title, TextRole::heading, TextRole::subheading, TextRole::body})
        EXPECT_EQ(Typography::role(Typography::roleFormat(role, std::nullopt, false)), role);
    EXPECT_FALSE(textRole(4).has_value());
    EXPECT_EQ(rank(TextRole::subheading), 2);
    EXPECT_FALSE(rank(TextRole::body).has_value());
}

TEST(Typography, fontsTakeTheRoleDefaultWeightUnlessBoldIsGiven)
{
    struct Case {
        TextRole role;
        std::optional<bool> bold;
        bool italic;
        double size;
        int weight;
    } cases[] = {
        {TextRole::body, std::nullopt, false, 15, QFont::Normal},
        {TextRole::title, std::nullopt, false, 28, QFont::Bold},
        {TextRole::heading, true, false, 21, QFont::DemiBold},
        {TextRole::subheading, false, true, 17, QFont::Normal},
        {TextRole::body, true, false, 15, QFont::Bold},
    };
    for (const Case& c : cases) {
        const QFont font = Typography::font(c.role, c.bold, c.italic);
        EXPECT_EQ(font.pixelSize(), c.size);
        EXPECT_EQ(font.weight(), c.weight);
        EXPECT_EQ(font.italic(), c.italic);
        QTextCharFormat format;
        Typography::setFont(format, font);
        EXPECT_EQ(Typography::isBold(format), c.weight != QFont::Normal) << "semibold counts as bold";
        EXPECT_EQ(Typography::isItalic(format), c.italic);
    }
}

TEST(Typography, paragraphStylesFollowRoleKindAndDirection)
{
    const QTextBlockFormat bullet =
        Typography::paragraphStyle(TextRole::body, ParagraphKind::bullet(), TextDirection::ltr);
    EXPECT_EQ(bullet.lineHeight(), 5);
    EXPECT_EQ(bullet.topMargin(), 0);
    EXPECT_EQ(bullet.bottomMargin(), 3);
    EXPECT_EQ(bullet.leftMargin(), 24);
    EXPECT_EQ(bullet.textIndent(), -24);
    ASSERT_EQ(bullet.tabPositions().size(), 1);
    EXPECT_EQ(bullet.tabPositions().first().position, 24);

    const QTextBlockFormat rtlItem =
        Typography::paragraphStyle(TextRole::body, ParagraphKind::checkbox(false), TextDirection::rtl);
    EXPECT_EQ(rtlItem.layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(rtlItem.rightMargin(), 24) << "the indent sits on the leading side";
    EXPECT_EQ(rtlItem.leftMargin(), 0);

    const QTextBlockFormat divider =
        Typography::paragraphStyle(TextRole::body, ParagraphKind::divider(), TextDirection::rtl);
    EXPECT_EQ(divider.layoutDirection(), Qt::LeftToRight);
    EXPECT_TRUE(divider.nonBreakableLines()) << "clipped, not wrapped";
    EXPECT_EQ(divider.topMargin(), 8);
    EXPECT_EQ(divider.bottomMargin(), 8);
    EXPECT_EQ(divider.lineHeight(), 0);

    const QTextBlockFormat heading =
        Typography::paragraphStyle(TextRole::heading, ParagraphKind::plain(), TextDirection::ltr);
    EXPECT_EQ(heading.topMargin(), 12);
    EXPECT_EQ(heading.bottomMargin(), 6);
    EXPECT_EQ(heading.lineHeight(), 2);
}

TEST(Bidi, theFirstStrongCharacterDecides)
{
    const std::pair<QString, std::optional<TextDirection>> cases[] = {
        {u"hello"_s, TextDirection::ltr},
        {u"\u05E9\u05DC\u05D5\u05DD"_s, TextDirection::rtl},
        {u"\u200E\u0645\u0631\u062D\u0628\u0627"_s, TextDirection::ltr},
        {u"\u200Fabc"_s, TextDirection::rtl},
        {u"123 \u0661\u0662 \u05E9"_s, TextDirection::rtl},
        {u"\u05BE"_s, TextDirection::rtl},
        {u"\u0591abc"_s, TextDirection::ltr},  // a Hebrew accent decides nothing
        {u"\U00010900"_s, TextDirection::rtl}, // Phoenician, outside the BMP
        {u"\U0001D400x"_s, TextDirection::ltr},
        {u"12, 34!"_s, std::nullopt},
        {QString(), std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Bidi::direction(text), expected) << text.toStdString();
}

// A document whose paragraphs are the given lines, all body text with no paragraph style yet.
void fill(QTextDocument& document, const QStringList& lines)
{
    QTextCursor cursor(&document);
    cursor.insertText(lines.join(u'\n'), Typography::bodyTypingFormat());
}

Qt::LayoutDirection directionOf(const QTextDocument& document, int paragraph)
{
    return document.findBlockByNumber(paragraph).blockFormat().layoutDirection();
}

TEST(ParagraphStyler, directionFlowsIntoNeutralParagraphsAndDividersPassNoneOn)
{
    QTextDocument document;
    const QString rule = QString(8, QChar(0x2500));
    fill(document, {u"\u05E9\u05DC\u05D5\u05DD"_s, QString(), u"42"_s, u"english"_s, u"\u05D0"_s, rule,
                    QString(), u"\u200E\u0645"_s});
    ParagraphStyler::applyAll(document);
    const Qt::LayoutDirection expected[] = {Qt::RightToLeft, Qt::RightToLeft, Qt::RightToLeft,
                                            Qt::LeftToRight, Qt::RightToLeft, Qt::LeftToRight,
                                            Qt::RightToLeft, Qt::LeftToRight};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(directionOf(document, i), expected[i]) << "paragraph " << i;
}

TEST(ParagraphStyler, anEditRestylesOnlyUntilAParagraphDecidesItsOwnDirection)
{
    QTextDocument document;
    QStringList lines;
    for (int i = 0; i < 2000; ++i)
        lines << (i % 3 == 0 ? QString() : u"line %1"_s.arg(i));
    fill(document, lines);
    ParagraphStyler::applyAll(document);

    // Typing a Hebrew letter into paragraph 1000 (which is empty): it and the neutral run after it flip.
    QTextCursor cursor(document.findBlockByNumber(999));
    cursor.insertText(u"\u05D0"_s);
    const int visited = ParagraphStyler::apply(document, cursor.position() - 1, 1);
    EXPECT_EQ(visited, 1) << "the next paragraph decides for itself";
    EXPECT_EQ(directionOf(document, 999), Qt::RightToLeft);
    EXPECT_EQ(directionOf(document, 1000), Qt::LeftToRight);

    // Emptying a paragraph makes it and the neutral ones after it follow the paragraph before.
    QTextDocument flow;
    fill(flow, {u"\u05D0"_s, u"a"_s, QString(), u"1"_s, QString(), u"b"_s});
    ParagraphStyler::applyAll(flow);
    QTextCursor edit(flow.findBlockByNumber(1));
    edit.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    edit.removeSelectedText();
    EXPECT_EQ(ParagraphStyler::apply(flow, edit.position(), 0), 4);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(directionOf(flow, i), Qt::RightToLeft) << "paragraph " << i;
    EXPECT_EQ(directionOf(flow, 5), Qt::LeftToRight);
}

TEST(ParagraphStyler, aParagraphWhoseStyleMatchesIsLeftUntouched)
{
    QTextDocument document;
    fill(document, {u"one"_s, u"two"_s});
    ParagraphStyler::applyAll(document);
    const int undoSteps = document.availableUndoSteps();
    // An extra property the styler does not set survives a restyle of a matching paragraph.
    QTextBlockFormat marked = document.firstBlock().blockFormat();
    marked.setProperty(QTextFormat::UserProperty + 50, 7);
    QTextCursor(document.firstBlock()).setBlockFormat(marked);
    ParagraphStyler::applyAll(document);
    EXPECT_EQ(document.firstBlock().blockFormat().intProperty(QTextFormat::UserProperty + 50), 7);
    EXPECT_EQ(document.availableUndoSteps(), undoSteps + 1)
        << "no undo step for a style that already matched";
}

} // namespace

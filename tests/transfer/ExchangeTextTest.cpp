// The Markdown export's text and the import reader, without a model: marks, escaping, todo.txt and the
// checks a file passes before anything is read.
#include "transfer/exchange/ImportReader.h"
#include "transfer/exchange/MarkdownExport.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace vorn;
using namespace Qt::StringLiterals;

namespace {

ExchangeThing thingTitled(const QString& title)
{
    ExchangeThing t;
    t.title = title;
    return t;
}

} // namespace

TEST(ExchangeText, TitlesThatLookLikeMarksComeBackAsTheyWere)
{
    const QStringList titles = {
        u"Buy milk (someday)"_s,
        u"a \\(someday)"_s,
        u"x \\\\(zZ 2)"_s,
        u"Pay (zZ 2) (until 2026-12-09)"_s,
        u"(someday)"_s,
        u"Passport (check it's in date)"_s,
        u"Call (done 2026-01-01)"_s,
        u"Odd (zZ 0) and (zZ 01)"_s,
        u"Tabs\tand ☐ marks"_s,
    };
    ExchangeList list;
    list.kind = ExchangeListKind::pile;
    list.name = u"C# and F#"_s;
    for (const QString& title : titles) {
        ExchangeThing t = thingTitled(title);
        t.zs = 4;
        t.until = QDateTime(QDate(2026, 12, 24), QTime(18, 30));
        list.things.push_back(t);
    }
    const QString written = writeMarkdown({list});
    const ImportText read = readImport(written);
    EXPECT_TRUE(read.problems.empty());
    ASSERT_EQ(read.lists.size(), 2u) << "the implicit Today of the file's start, then the heading";
    EXPECT_EQ(read.lists[1].name, u"C# and F#"_s);
    ASSERT_EQ(read.lists[1].things.size(), std::size_t(titles.size())) << written.toStdString();
    for (qsizetype i = 0; i < titles.size(); ++i) {
        SCOPED_TRACE(titles[i].toStdString());
        const ExchangeThing& t = read.lists[1].things[std::size_t(i)];
        // Titles are one line: a tab in one comes back as the space any door makes of it.
        EXPECT_EQ(t.title, QString(titles[i]).replace(u'\t', u' '));
        EXPECT_EQ(t.zs, 4);
        EXPECT_EQ(t.until, QDateTime(QDate(2026, 12, 24), QTime(18, 30)));
    }
}

TEST(ExchangeText, TodoTxtReadsAsItsDescriptionSays)
{
    const ImportText read =
        readImport(u"(A) Thank Mom for the meatballs @phone\n"
                   "(B) Schedule Goodwill pickup +GarageSale @phone\n"
                   "x 2011-03-03 2011-03-01 Review Tim's pull request +TodoTxtTouch @github\n"
                   "2011-03-02 Document +TodoTxt task format due:2011-03-05\n"
                   "Post signs around the neighborhood +GarageSale\n"
                   "Bad day due:2011-02-30\n"_s);
    EXPECT_EQ(read.format, ImportText::Format::todoTxt);
    ASSERT_EQ(read.problems.size(), 1u);
    EXPECT_EQ(read.problems[0].line, 6);
    ASSERT_EQ(read.lists.size(), 4u);
    EXPECT_EQ(read.lists[0].name, u"Today"_s);
    ASSERT_EQ(read.lists[0].things.size(), 1u);
    EXPECT_EQ(read.lists[0].things[0].title, u"Thank Mom for the meatballs @phone"_s) << "priority dropped";
    EXPECT_EQ(read.lists[1].name, u"GarageSale"_s);
    ASSERT_EQ(read.lists[1].things.size(), 2u);
    EXPECT_EQ(read.lists[1].things[0].title, u"Schedule Goodwill pickup @phone"_s);
    const ExchangeThing& done = read.lists[2].things.at(0);
    EXPECT_EQ(read.lists[2].name, u"TodoTxtTouch"_s);
    EXPECT_TRUE(done.done);
    EXPECT_EQ(done.doneOn, QDate(2011, 3, 3));
    EXPECT_EQ(done.title, u"Review Tim's pull request @github"_s);
    const ExchangeThing& due = read.lists[3].things.at(0);
    EXPECT_EQ(due.title, u"Document task format"_s) << "creation date and due: taken off";
    EXPECT_EQ(due.until, QDateTime(QDate(2011, 3, 5), QTime(0, 0)));
}

TEST(ExchangeText, UnreadableLinesAreNumberedAndTheRestIsRead)
{
    QString text = u"  - [ ] a step before any thing\n  > a note before any thing\n- [ ]\n"_s;
    text += u"- [ ] fine\n  - [x] its step\n  > its note\n  >\n  >   indented\n"_s;
    text += u"bell \x07 here\n* bullet thing\n1. numbered thing\n# Groceries\n## Not a list\n- [x] kept\n"_s;
    for (int i = 0; i < 9; ++i)
        text += u"  > orphan\n"_s.prepend(u"## H%1\n"_s.arg(i));
    const ImportText read = readImport(text);
    ASSERT_GE(read.problems.size(), 13u);
    EXPECT_EQ(read.problems[0], (ImportProblem{1, u"a step with no thing above it"_s}));
    EXPECT_EQ(read.problems[1].line, 2);
    EXPECT_EQ(read.problems[2], (ImportProblem{3, u"a thing without a title"_s}));
    EXPECT_EQ(read.problems[3].line, 9);
    const ExchangeThing& fine = read.lists[0].things.at(0);
    EXPECT_EQ(fine.title, u"fine"_s);
    EXPECT_EQ(fine.steps, (std::vector<TransferStep>{{u"its step"_s, true}}));
    EXPECT_EQ(fine.note, u"its note\n\n  indented"_s);
    EXPECT_EQ(read.lists[0].things.size(), 3u) << "bullets and numbers read as a paste reads them";
    EXPECT_EQ(read.lists[1].name, u"Groceries"_s);
    EXPECT_TRUE(read.lists[1].create);
    EXPECT_FALSE(read.lists[2].create) << "a lower heading only names a list that exists";
    const QString told = describeProblems(read.problems);
    EXPECT_TRUE(told.startsWith(
        u"%1 lines couldn't be read: line 1 (a step with no thing above it)"_s.arg(read.problems.size())))
        << told.toStdString();
    EXPECT_EQ(told.count(QRegularExpression(u"line \\d+ \\("_s)), 10) << "the first ten only";
}

TEST(ExchangeText, FilesThatAreNotUtf8TextAreRefusedWhole)
{
    const struct {
        QByteArray bytes;
        const char* error; // empty: read
    } cases[] = {
        {QByteArray("\xef\xbb\xbf- [ ] with a BOM\n"), ""},
        {QByteArray("caf\xe9\n"), "isn't UTF-8 text"},
        {QByteArray("text\0with a nul", 15), "isn't a text file"},
        {QByteArray(kImportFileLimit + 1, 'a'), "is too big"},
    };
    for (const auto& c : cases) {
        const ImportFile file = readImportBytes(c.bytes, u"list.md"_s);
        if (*c.error == 0) {
            ASSERT_TRUE(file.text) << file.error.toStdString();
            EXPECT_EQ(file.text->lists.at(0).things.at(0).title, u"with a BOM"_s);
        } else {
            EXPECT_FALSE(file.text);
            EXPECT_TRUE(file.error.contains(QLatin1String(c.error))) << file.error.toStdString();
        }
    }
    EXPECT_FALSE(readImportFile(u"/nonexistent/list.md"_s).text);
    EXPECT_TRUE(readImportFile(u"/tmp"_s).error.contains(u"folder"_s));
}

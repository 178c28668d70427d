#include "ui/list/ThingListModel.h"
#include "support/ModelHarness.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vorn;

namespace {

struct ThingListModelTest : ::testing::Test {
    void SetUp() override
    {
        h.demo();
        model = h.start();
        ASSERT_TRUE(model);
    }
    Thing* titled(const char* title) const { return h.thingTitled(*model, QString::fromUtf8(title)); }

    test::ModelHarness h;
    std::unique_ptr<AppModel> model;
};

std::vector<QString> titles(const ThingListModel& m)
{
    std::vector<QString> out;
    for (int i = 0; i < m.rowCount(); ++i)
        out.push_back(m.index(i).data(ThingListModel::TitleRole).toString());
    return out;
}

} // namespace

// The tester checks every signal the model sends while things are added, done, snoozed and deleted.
TEST_F(ThingListModelTest, staysConsistentThroughEditsInEveryList)
{
    ThingListModel today(*model, Source::today, ListStyle::regular);
    ThingListModel later(*model, Source::later, ListStyle::regular);
    ThingListModel compact(*model, Source::today, ListStyle::compact);
    QAbstractItemModelTester t1(&today, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester t2(&later, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester t3(&compact, QAbstractItemModelTester::FailureReportingMode::Fatal);

    QSignalSpy storeChanged(&model->store(), &Store::changed);
    model->add(QStringLiteral("Fresh one"), Source::today);
    ASSERT_TRUE(storeChanged.wait());
    Thing* gym = titled("Think about the gym");
    model->snooze({RowID::thing(gym->id())}, SnoozeOption::tomorrow, std::nullopt);
    ASSERT_TRUE(storeChanged.wait());
    model->remove({RowID::thing(titled("Oat milk")->id()), RowID::thing(titled("Call mum back")->id())},
                  std::nullopt);
    ASSERT_TRUE(storeChanged.wait());
    model->setSearchText(QStringLiteral("the"));
    model->setSearchText(QString());

    // Then every list shows exactly the model's rows.
    for (const auto* m : {&today, &later}) {
        const auto rows = model->rows(m->source(), true);
        EXPECT_EQ(m->rowIDs().size(), rows.size());
        for (size_t i = 0; i < rows.size() && i < m->rowIDs().size(); ++i)
            EXPECT_EQ(m->rowIDs()[i], rows[i].id());
    }
    const auto todayTitles = titles(today);
    EXPECT_EQ(std::count(todayTitles.begin(), todayTitles.end(), QStringLiteral("Fresh one")), 1);
    const auto laterTitles = titles(later);
    EXPECT_NE(std::find(laterTitles.begin(), laterTitles.end(), QStringLiteral("Think about the gym")),
              laterTitles.end());
}

TEST_F(ThingListModelTest, addingOrDeletingOneThingMovesRowsWithoutReset)
{
    ThingListModel today(*model, Source::today, ListStyle::regular);
    QSignalSpy inserted(&today, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&today, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&today, &QAbstractItemModel::modelReset);
    const int before = today.rowCount();

    model->add(QStringLiteral("One more"), Source::today);
    ASSERT_TRUE(inserted.wait());
    EXPECT_EQ(today.rowCount(), before + 1);

    Thing* added = titled("One more");
    ASSERT_TRUE(added);
    model->remove({RowID::thing(added->id())}, std::nullopt);
    ASSERT_TRUE(removed.wait());
    EXPECT_EQ(today.rowCount(), before);
    EXPECT_EQ(reset.count(), 0);
}

TEST_F(ThingListModelTest, rolesCarryWhatTheRowPaints)
{
    ThingListModel regular(*model, Source::today, ListStyle::regular);
    ThingListModel compact(*model, Source::today, ListStyle::compact);
    const auto entry = [&](const ThingListModel& m, const char* title) {
        const auto e = m.entryOf(RowID::thing(titled(title)->id()));
        EXPECT_TRUE(e) << title;
        return m.index(e.value_or(0));
    };

    const QModelIndex reply = entry(regular, "Reply to Kesh about the deck");
    EXPECT_EQ(reply.data(ThingListModel::StepProgressRole).toString(), QStringLiteral("1/3"));
    EXPECT_TRUE(reply.data(ThingListModel::HasStepsRole).toBool());
    EXPECT_EQ(reply.data(ThingListModel::ZCountRole).toInt(), 2);
    EXPECT_FALSE(reply.data(ThingListModel::IsFamilyRole).toBool());
    EXPECT_EQ(reply.data(ThingListModel::RowIdRole).toString(),
              ThingListModel::key(RowID::thing(titled("Reply to Kesh about the deck")->id())));
    EXPECT_FALSE(reply.data(ThingListModel::DoneRole).toBool());
    model->toggleDone(*titled("Reply to Kesh about the deck"));
    EXPECT_TRUE(reply.data(ThingListModel::DoneRole).toBool());

    // The meta text follows the model in the regular style and is never shown in the compact one.
    Thing* dentist = titled("Book the dentist (for real this time)");
    const auto meta = model->meta(*dentist, Source::today);
    EXPECT_EQ(
        entry(regular, "Book the dentist (for real this time)").data(ThingListModel::MetaRole).toString(),
        meta.value_or(QString()));
    EXPECT_TRUE(entry(compact, "Book the dentist (for real this time)")
                    .data(ThingListModel::MetaRole)
                    .toString()
                    .isEmpty());

    // Editing through the Qt model renames through the app model.
    Thing* replyThing = titled("Reply to Kesh about the deck");
    EXPECT_TRUE(regular.setData(reply, QStringLiteral("Reply to Kesh today"), Qt::EditRole));
    EXPECT_EQ(replyThing->title(), QStringLiteral("Reply to Kesh today"));
}

TEST_F(ThingListModelTest, laterShowsOneHeaderPerSectionInOrderAndHeadersCannotBeSelected)
{
    ThingListModel later(*model, Source::later, ListStyle::regular);
    // The demo's Later on a Tuesday: two things wake tomorrow, the taxes next Monday, two some day.
    const std::vector<QString> expected{QStringLiteral("Tomorrow"), QStringLiteral("Further off"),
                                        QStringLiteral("Someday")};

    std::vector<QString> headers;
    for (int i = 0; i < later.rowCount(); ++i) {
        const QModelIndex index = later.index(i);
        if (!index.data(ThingListModel::IsHeaderRole).toBool())
            continue;
        headers.push_back(index.data(Qt::DisplayRole).toString());
        EXPECT_FALSE(later.flags(index) & Qt::ItemIsSelectable);
        EXPECT_FALSE(later.rowIndex(i));
        // The row right after a header lies in that header's section.
        ASSERT_LT(i + 1, later.rowCount());
        Thing* next = later.thing(i + 1);
        ASSERT_TRUE(next);
        EXPECT_EQ(model->schedule().laterSection(*next->snoozedUntil(), model->now()), headers.back());
    }
    EXPECT_EQ(headers, expected);
    EXPECT_EQ(later.rowCount(), int(later.rowIDs().size() + headers.size()));

    // Compact lists and other sources have no headers.
    ThingListModel compact(*model, Source::later, ListStyle::compact);
    EXPECT_EQ(compact.rowCount(), int(compact.rowIDs().size()));
}

#include "family/FamilyConstants.h"
#include "family/FamilyStore.h"
#include "support/ModelHarness.h"
#include "ui/list/ThingListModel.h"
#include "ui/list/ThingListView.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

using namespace vorn;

namespace {

SharedThing plannerRow(const char* id, const QString& title)
{
    SharedThing s;
    s.id = QString::fromLatin1(id);
    s.title = title;
    s.day = QStringLiteral("2026-03-10"); // the harness's today
    s.sourceApp = kPlannerApp;
    return s;
}

} // namespace

TEST(ThingDelegate, plannerTitlesOfAnyLengthShowAsOneLineAndKeysStayQuick)
{
    // given a planner's row in Today with a title of 10 MB over two lines
    test::ModelHarness h;
    h.launch.syncsToFamily = std::nullopt;
    std::unique_ptr<AppModel> model = h.start();
    ASSERT_TRUE(model);
    const QString huge = QStringLiteral("plan\nahead ") + QString(10 << 20, u'x');
    FamilyStore planner(h.launch.familyStorePath());
    planner.upsert(plannerRow("huge", huge));
    for (const char* title : {"one", "two", "three"})
        model->add(QString::fromLatin1(title), Source::today);
    model->familySync().didChange();
    ThingListView view(*model, Source::today, ListStyle::regular);
    view.resize(520, 420);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.listModel()->rowIDs().size() == 4; }));

    // then it shows as one line, cut where it can't be seen anyway
    const ThingListModel& rows = *view.listModel();
    const QString shownHuge = rows.index(*rows.entryOf(RowID::shared(QStringLiteral("huge"))))
                                  .data(ThingListModel::TitleRole)
                                  .toString();
    EXPECT_TRUE(shownHuge.startsWith(QStringLiteral("plan ahead xxx")));
    EXPECT_LE(shownHuge.size(), 4001);

    // and a key press, up to the repaint it causes, stays quick on any row
    view.setFocus();
    qint64 slowest = 0;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer took;
        took.start();
        QTest::keyClick(&view, i < 5 ? Qt::Key_Down : Qt::Key_Up);
        view.viewport()->repaint();
        slowest = std::max(slowest, took.elapsed());
    }
    EXPECT_LT(slowest, 250) << "ms for a key and its repaint";

    // and renaming it without a change leaves the planner's row as the planner wrote it
    model->select(RowID::shared(QStringLiteral("huge")));
    QTest::keyClick(&view, Qt::Key_Return);
    auto* editor = view.findChild<QLineEdit*>(QStringLiteral("titleEditor"));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->text().size(), 4000);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view.isEditingTitle(); }));
    const std::vector<SharedThing> after = planner.allThings();
    const auto kept =
        std::find_if(after.begin(), after.end(), [](const SharedThing& r) { return r.id == u"huge"; });
    ASSERT_NE(kept, after.end());
    EXPECT_TRUE(kept->title == huge) << "rewritten: " << kept->title.left(40).toStdString();
}

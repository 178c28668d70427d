#include "app/MainWindow.h"

#include "model/AppModel.h"
#include "support/ModelHarness.h"
#include "ui/list/ThingList.h"
#include "ui/list/ThingListModel.h"
#include "ui/list/ThingListView.h"
#include "ui/main/MainView.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace vorn {

TEST(UndoStep, aRenameEndedByAClickOnAnotherBoxIsAStepOfItsOwn)
{
    test::ModelHarness h;
    h.demo();
    auto model = h.start();
    MainWindow window(*model);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ThingListView& list = *window.mainView()->thingList()->view();
    const std::vector<RowID> rows = list.listModel()->rowIDs();
    Thing* first = model->store().thing(*rows[0].thingID());
    Thing* second = model->store().thing(*rows[1].thingID());
    const QString title = first->title();
    const QRect r = list.visualRect(list.listModel()->index(*list.listModel()->entryOf(rows[1])));

    // One press commits the editor as it loses focus and ticks the box; Ctrl+Z follows in the same turn.
    ASSERT_TRUE(list.beginEditing(rows[0]));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" soon"));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(r.left() + 20, r.top() + 20));
    ASSERT_EQ(first->title(), title + QStringLiteral(" soon"));
    ASSERT_TRUE(second->isDone());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(second->isDone());
    EXPECT_EQ(first->title(), title + QStringLiteral(" soon")) << "the rename is a step of its own";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(first->title(), title);
}

} // namespace vorn

#include "ui/steps/StepsView.h"
#include "support/ModelHarness.h"
#include "ui/components/ThemedLabel.h"
#include "ui/steps/StepRow.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace vorn;

namespace {

struct StepsViewTest : ::testing::Test {
    void SetUp() override
    {
        h.demo();
        // The view schedules the family mirror after every change; it is only observable with sync on.
        h.launch.syncsToFamily = true;
        model = h.start();
        ASSERT_TRUE(model);
        kesh = h.thingTitled(*model, QStringLiteral("Reply to Kesh about the deck"));
        ASSERT_TRUE(kesh);
        plain = h.thingTitled(*model, QStringLiteral("Think about the gym"));
        ASSERT_TRUE(plain);
        model->familySync().flush();
    }

    // The view sits in a window under another field that holds the caret, as the list does in the app.
    StepsView& show(Thing& thing)
    {
        model->setExpanded(thing, true);
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        elsewhere = new QLineEdit(window.get());
        layout->addWidget(elsewhere);
        window->resize(420, 200);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        elsewhere->setFocus();
        // Opened inside a window already in use, as a thing expands under the list.
        view = new StepsView(*model, thing, ListStyle::regular, window.get());
        layout->addWidget(view);
        view->show();
        return *view;
    }
    QLineEdit* field() const { return view->addField(); }
    void typeStep(const QString& text)
    {
        QTest::keyClicks(field(), text);
        QTest::keyClick(field(), Qt::Key_Return);
    }
    static QStringList titles(const Thing& t)
    {
        QStringList out;
        for (const Step* s : t.orderedSteps())
            out << s->title();
        return out;
    }
    // What the rows show, once the store's posted change has reached the view.
    QStringList shown()
    {
        QCoreApplication::processEvents();
        QStringList out;
        for (StepRow* r : view->rows()) {
            auto* label = r->findChild<ThemedLabel*>(QStringLiteral("stepTitle"));
            out << (label ? label->text() : QStringLiteral("<editing>"));
        }
        return out;
    }
    StepRow* rowAt(int i)
    {
        QCoreApplication::processEvents();
        return view->rows().at(size_t(i));
    }
    void trigger(StepRow* row, const char* action)
    {
        auto* a = row->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_TRUE(a) << action;
        a->trigger();
    }
    bool focused(QWidget* w) const
    {
        return QTest::qWaitFor([w] { return QApplication::focusWidget() == w; }, 500);
    }

    test::ModelHarness h;
    std::unique_ptr<AppModel> model;
    Thing* kesh = nullptr;
    Thing* plain = nullptr;
    std::unique_ptr<QWidget> window;
    QLineEdit* elsewhere = nullptr;
    StepsView* view = nullptr;
};

const QStringList keshSteps = {QStringLiteral("Read her notes"), QStringLiteral("Fix slide 4"),
                               QStringLiteral("Send it, don't reread it")};

TEST_F(StepsViewTest, returnAddsStepsOneAfterAnotherAndRefusesBlankTitles)
{
    show(*kesh);
    EXPECT_EQ(shown(), keshSteps);
    field()->setFocus();
    ASSERT_TRUE(focused(field()));

    typeStep(QStringLiteral("  Print the deck  "));
    EXPECT_TRUE(model->familySync().isPending());
    typeStep(QStringLiteral("   "));
    typeStep(QStringLiteral("Book a room"));

    const QStringList expected =
        keshSteps + QStringList{QStringLiteral("Print the deck"), QStringLiteral("Book a room")};
    EXPECT_EQ(titles(*kesh), expected);
    EXPECT_TRUE(field()->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), field());
    EXPECT_EQ(shown(), titles(*kesh));
}

TEST_F(StepsViewTest, undoOfAnAddRemovesOnlyThatStep)
{
    show(*kesh);
    field()->setFocus();
    // Both in one turn of the loop, which would merge them into one undo step without an explicit group.
    typeStep(QStringLiteral("First"));
    typeStep(QStringLiteral("Second"));
    model->store().undoManager().undo();
    EXPECT_EQ(titles(*kesh), keshSteps + QStringList{QStringLiteral("First")});
    EXPECT_EQ(shown(), titles(*kesh));
}

TEST_F(StepsViewTest, checkBoxAndMenuTickAndUntick)
{
    show(*kesh);
    Step* fix = kesh->orderedSteps().at(1);
    ASSERT_FALSE(fix->isDone());

    StepRow* row = rowAt(1);
    EXPECT_EQ(row->findChild<QWidget*>(QStringLiteral("stepCheck"))->accessibleName(),
              QStringLiteral("Step not done"));
    QTest::mouseClick(row->findChild<QWidget*>(QStringLiteral("stepCheck")), Qt::LeftButton);
    EXPECT_TRUE(fix->isDone());
    EXPECT_TRUE(model->familySync().isPending());

    row = rowAt(1);
    EXPECT_EQ(row->findChild<QWidget*>(QStringLiteral("stepCheck"))->accessibleName(),
              QStringLiteral("Step done"));
    EXPECT_TRUE(row->findChild<ThemedLabel*>(QStringLiteral("stepTitle"))->font().strikeOut());
    EXPECT_EQ(row->findChild<QAction*>(QStringLiteral("toggleStepAction"))->text(),
              QStringLiteral("Not Done"));
    trigger(row, "toggleStepAction");
    EXPECT_FALSE(fix->isDone());
    EXPECT_FALSE(rowAt(1)->findChild<ThemedLabel*>(QStringLiteral("stepTitle"))->font().strikeOut());
}

TEST_F(StepsViewTest, renameCommitsOnReturnAndIsDroppedOnEscape)
{
    show(*kesh);
    Step* fix = kesh->orderedSteps().at(1);
    struct Case {
        const char* typed;
        Qt::Key key;
        const char* expected;
    };
    const Case cases[] = {
        {"Fix slide 5", Qt::Key_Return, "Fix slide 5"},
        {"Never mind", Qt::Key_Escape, "Fix slide 5"},
        {"   ", Qt::Key_Return, "Fix slide 5"}, // blank titles are refused
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        auto* title = rowAt(1)->findChild<ThemedLabel*>(QStringLiteral("stepTitle"));
        ASSERT_TRUE(title);
        QTest::mouseDClick(title, Qt::LeftButton);
        ASSERT_EQ(view->editing(), fix->id());
        QLineEdit* editor = rowAt(1)->editor();
        ASSERT_TRUE(editor);
        EXPECT_EQ(editor->text(), fix->title());
        ASSERT_TRUE(focused(editor));
        editor->selectAll();
        QTest::keyClicks(editor, QString::fromLatin1(c.typed));
        QTest::keyClick(editor, c.key);
        EXPECT_EQ(fix->title(), QString::fromLatin1(c.expected));
        EXPECT_FALSE(view->editing());
        EXPECT_EQ(shown().at(1), QString::fromLatin1(c.expected));
    }
}

TEST_F(StepsViewTest, deletingEveryStepLeavesTheThingOpenWithOnlyTheAddRow)
{
    show(*kesh);
    for (int i = 0; i < 3; ++i) {
        trigger(rowAt(0), "deleteStepAction");
        EXPECT_TRUE(model->familySync().isPending());
        model->familySync().flush();
    }
    EXPECT_TRUE(kesh->steps().empty());
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_TRUE(model->expanded().contains(kesh->id()));
    EXPECT_TRUE(field()->isVisible());

    // Each delete is its own undo step.
    model->store().undoManager().undo();
    EXPECT_EQ(shown(), QStringList{keshSteps.back()});
}

TEST_F(StepsViewTest, escapeInTheAddFieldCollapsesOnlyAThingWithoutSteps)
{
    show(*kesh);
    field()->setFocus();
    ASSERT_TRUE(focused(field()));
    QTest::keyClicks(field(), QStringLiteral("half a thought"));
    QTest::keyClick(field(), Qt::Key_Escape);
    EXPECT_TRUE(field()->text().isEmpty());
    EXPECT_FALSE(field()->hasFocus());
    EXPECT_TRUE(model->expanded().contains(kesh->id()));
    EXPECT_EQ(titles(*kesh), keshSteps);

    show(*plain);
    field()->setFocus();
    ASSERT_TRUE(focused(field()));
    QTest::keyClick(field(), Qt::Key_Escape);
    EXPECT_FALSE(model->expanded().contains(plain->id()));
}

TEST_F(StepsViewTest, addStepRequestFocusesOnlyTheNamedThingsField)
{
    show(*kesh);
    model->requestAddStep(*plain);
    EXPECT_FALSE(focused(field()));

    model->requestAddStep(*kesh);
    EXPECT_TRUE(focused(field()));

    // A view first shown while its request is pending takes the caret too.
    model->requestAddStep(*plain);
    show(*plain);
    EXPECT_TRUE(focused(field()));
}

TEST_F(StepsViewTest, rendersTheDemoSteps)
{
    show(*kesh);
    QCoreApplication::processEvents();
    const QImage image = view->grab().toImage();
    ASSERT_TRUE(image.save(QStringLiteral("/tmp/vorn-steps-kesh.png")));
    // The done step is drawn with the yawn ink of the ticked box; the open ones are not.
    auto hasYawn = [&](QWidget* w) {
        const QImage part = w->grab().toImage();
        for (int y = 0; y < part.height(); ++y)
            for (int x = 0; x < part.width(); ++x)
                if (part.pixelColor(x, y) == Color::yawn)
                    return true;
        return false;
    };
    EXPECT_TRUE(hasYawn(rowAt(0)->findChild<QWidget*>(QStringLiteral("stepCheck"))));
    EXPECT_FALSE(hasYawn(rowAt(1)->findChild<QWidget*>(QStringLiteral("stepCheck"))));
    EXPECT_EQ(rowAt(0)->geometry().height(), 30);
}

} // namespace

#include "pixel/Pixels.h"
#include "pixel/YawnView.h"
#include "support/ModelHarness.h"
#include "ui/components/CheckButton.h"
#include "ui/components/DoneLine.h"
#include "ui/components/EmptyListView.h"
#include "ui/components/PixelButton.h"
#include "ui/components/SnoozeBar.h"
#include "ui/components/ToastView.h"

#include <QLabel>
#include <QPainter>
#include <QTest>

namespace vorn {
namespace {

TEST(CheckButton, clickCallsActionAndLabelFollowsState)
{
    int calls = 0;
    CheckButton check(false, [&] { ++calls; });
    check.show();
    EXPECT_EQ(check.size(), QSize(22, 22));
    EXPECT_EQ(check.accessibleName(), QStringLiteral("Not done"));
    QTest::mouseClick(&check, Qt::LeftButton);
    EXPECT_EQ(calls, 1);
    check.setDone(true);
    EXPECT_EQ(check.accessibleName(), QStringLiteral("Done"));

    // The ticked box shows the yawn ink; the open one has none of it.
    const QImage done = check.grab().toImage();
    check.setDone(false);
    const QImage open = check.grab().toImage();
    const auto hasYawn = [](const QImage& img) {
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y).rgb() == Color::yawn.rgb())
                    return true;
        return false;
    };
    EXPECT_TRUE(hasYawn(done));
    EXPECT_FALSE(hasYawn(open));
}

TEST(PixelButton, clickCallsActionAndPressShrinksLabel)
{
    int calls = 0;
    PixelButton button(Pixels::plus(), Color::vornText(), [&] { ++calls; });
    button.show();
    EXPECT_EQ(button.size(), QSize(28, 28));
    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(button.labelScale(), PressButton::pressedScale);
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(button.labelScale(), 1.0);
    EXPECT_EQ(calls, 1);
}

TEST(PixelButton, paintsItsGlyphInItsTintAndRepaintsWhenItChanges)
{
    PixelButton button(Pixels::plus(), Color::vornMuted());
    button.show();
    const auto has = [&](const Color& color) {
        const QImage img = button.grab().toImage();
        const QRgb want = color.resolved(button.palette()).rgb();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y).rgb() == want)
                    return true;
        return false;
    };
    ASSERT_NE(Color::vornMuted().resolved(button.palette()).rgb(),
              Color::vornFaint().resolved(button.palette()).rgb());
    EXPECT_TRUE(has(Color::vornMuted()));
    EXPECT_FALSE(has(Color::vornFaint()));
    button.setTint(Color::vornFaint());
    EXPECT_EQ(button.tint(), Color::vornFaint());
    EXPECT_TRUE(has(Color::vornFaint()));
    EXPECT_FALSE(has(Color::vornMuted()));
}

TEST(SnoozeBar, numberKeysPickOptionsAndEscapeCancels)
{
    SnoozeBar bar(ListStyle::regular);
    std::vector<SnoozeOption> picked;
    int cancels = 0;
    QObject::connect(&bar, &SnoozeBar::picked, &bar, [&](SnoozeOption o) { picked.push_back(o); });
    QObject::connect(&bar, &SnoozeBar::cancelled, &bar, [&] { ++cancels; });
    bar.show();
    for (Qt::Key key : {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4})
        QTest::keyClick(&bar, key);
    EXPECT_EQ(picked, (std::vector<SnoozeOption>{SnoozeOption::tonightIsh, SnoozeOption::tomorrow,
                                                 SnoozeOption::monday, SnoozeOption::someday}));
    QTest::keyClick(&bar, Qt::Key_5);
    QTest::keyClick(&bar, Qt::Key_Escape);
    EXPECT_EQ(picked.size(), 4u);
    EXPECT_EQ(cancels, 1);

    // A click on a choice picks it too.
    auto* monday = bar.findChild<SnoozeOptionButton*>(QStringLiteral("snoozeOption3"));
    ASSERT_TRUE(monday);
    QTest::mouseClick(monday, Qt::LeftButton);
    EXPECT_EQ(picked.back(), SnoozeOption::monday);
}

TEST(SnoozeBar, namesPerStyle)
{
    const auto names = [](const SnoozeBar& bar) {
        QStringList out;
        for (auto* b : bar.findChildren<SnoozeOptionButton*>())
            out << b->name();
        return out;
    };
    SnoozeBar regular(ListStyle::regular);
    EXPECT_EQ(names(regular), (QStringList{"Tonight-ish", "Tomorrow", "Monday", "Someday"}));
    auto* prompt = regular.findChild<QLabel*>(QStringLiteral("snoozePrompt"));
    ASSERT_TRUE(prompt);
    EXPECT_EQ(prompt->text(), QStringLiteral("Snooze until…"));
    SnoozeBar compact(ListStyle::compact);
    EXPECT_EQ(names(compact), (QStringList{"Tonight", "Tmrw", "Mon", "Someday"}));
    EXPECT_EQ(compact.findChild<QLabel*>(QStringLiteral("snoozePrompt")), nullptr);
}

TEST(ToastView, showsTheModelsToastAndGoesWhenItClears)
{
    test::ModelHarness h;
    h.launch.intervals.toastMSecs = 50;
    auto model = h.start();
    ASSERT_TRUE(model);
    QWidget window;
    window.resize(400, 300);
    ToastView toast(*model, &window);
    window.show();
    EXPECT_FALSE(toast.isVisible());

    model->showToast(QStringLiteral("Deleted."));
    EXPECT_TRUE(toast.isVisible());
    EXPECT_EQ(toast.text(), QStringLiteral("Deleted."));
    EXPECT_EQ(toast.height(), 34);

    EXPECT_TRUE(QTest::qWaitFor([&] { return !model->toast(); }, 2000));
    EXPECT_FALSE(toast.isVisible());
    EXPECT_EQ(toast.text(), QString());
}

// Over any content (here black and white stripes) the capsule stays one calm colour, so its text reads.
TEST(ToastView, isReadableOverWhateverLiesBeneath)
{
    test::ModelHarness h;
    auto model = h.start();
    ASSERT_TRUE(model);
    struct Stripes : QWidget {
        void paintEvent(QPaintEvent*) override
        {
            QPainter p(this);
            for (int x = 0; x < width(); x += 2)
                p.fillRect(x, 0, 1, height(), (x / 2) % 2 ? Qt::black : Qt::white);
        }
    } window;
    window.resize(400, 300);
    ToastView toast(*model, &window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    model->showToast(QStringLiteral("Deleted. Ctrl+Z if that was a mistake."));
    toast.move(20, 200);
    QTest::qWait(ToastView::fadeMSecs + 100);
    const QImage image = window.grab().toImage();
    // The capsule's left padding, clear of its text and its rounded ends.
    const QRect padding(toast.x() + 4, toast.y() + 12, 8, 10);
    int lightest = 0;
    int darkest = 255;
    for (int y = padding.top(); y <= padding.bottom(); ++y) {
        for (int x = padding.left(); x <= padding.right(); ++x) {
            lightest = std::max(lightest, qGray(image.pixel(x, y)));
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
        }
    }
    EXPECT_LT(lightest - darkest, 32) << "the stripes beneath show through the toast";
}

TEST(DoneLine, saysTheDayIsDone)
{
    DoneLine line(ListStyle::compact);
    auto* text = line.findChild<QLabel*>(QStringLiteral("doneLineText"));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->text(), QStringLiteral("Done. Take the rest of the day."));
    EXPECT_EQ(line.height(), 40);
}

TEST(EmptyListView, messagesPerSourceAndStyle)
{
    struct Case {
        Source source;
        ListStyle style;
        QString text;
    };
    const std::vector<Case> cases{
        {Source::today, ListStyle::regular, "nothing due. suspicious."},
        {Source::today, ListStyle::compact, "nothing left. suspicious."},
        {Source::later, ListStyle::regular, "Nothing pushed off. Look at you."},
        {Source::later, ListStyle::compact, "Nothing pushed off. Look at you."},
        {Source::doneIsh, ListStyle::regular, "Nothing done yet. It's fine."},
        {Source::pile(RecordId{}), ListStyle::compact, "An empty pile. Very restful."},
    };
    for (const Case& c : cases) {
        EmptyListView view(c.source, c.style);
        EXPECT_EQ(view.text(), c.text);
        // Today's regular empty state yawns; the others show the still face.
        const bool yawns = c.source == Source::today && c.style == ListStyle::regular;
        EXPECT_EQ(view.findChildren<YawnView*>().size(), yawns ? 1 : 0) << c.text.toStdString();
        if (c.style == ListStyle::compact) {
            EXPECT_EQ(view.height(), 40);
        }
    }
}

} // namespace
} // namespace vorn

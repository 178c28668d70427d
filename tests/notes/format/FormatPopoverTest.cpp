#include "notes/format/FormatPopover.h"

#include "notes/MarkerEdits.h"
#include "notes/ParagraphMarkers.h"
#include "notes/RichText.h"
#include "notes/view/NoteTextView.h"
#include "pixel/Theme.h"

#include <QAccessible>
#include <QApplication>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

using namespace vorn::notes;

namespace {

QString t(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// 8-bit channels within one step; fully clear colours are equal whatever their hue.
bool near(const QColor& a, const QColor& b)
{
    if (a.alpha() == 0 && b.alpha() == 0)
        return true;
    return std::abs(a.red() - b.red()) <= 1 && std::abs(a.green() - b.green()) <= 1 &&
           std::abs(a.blue() - b.blue()) <= 1 && std::abs(a.alpha() - b.alpha()) <= 1;
}

// `top` painted over an opaque `bottom`.
QColor over(const QColor& top, const QColor& bottom)
{
    const float a = top.alphaF();
    const auto c = [a](float t, float b) { return t * a + b * (1 - a); };
    return QColor::fromRgbF(c(top.redF(), bottom.redF()), c(top.greenF(), bottom.greenF()),
                            c(top.blueF(), bottom.blueF()));
}

bool boldAt(const QTextDocument& note, int position)
{
    return Typography::isBold(charFormatAt(note, position).value());
}

class FormatPopoverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("VORN_REDUCE_MOTION", "0");
        window.resize(520, 420);
        view = new NoteTextView(&window);
        view->setGeometry(0, 40, 520, 380);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        open();
    }
    void TearDown() override { qunsetenv("VORN_REDUCE_MOTION"); }

    void open()
    {
        popover = new FormatPopover(*view, &window);
        popover->setAttribute(Qt::WA_DeleteOnClose);
        popover->popUp(view);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(popover));
    }

    void load(const QString& note)
    {
        std::unique_ptr<QTextDocument> document = RichText::plain(note);
        document->setParent(view);
        view->setNoteDocument(document.release());
    }

    void select(int from, int to)
    {
        QTextCursor cursor = view->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        view->setTextCursor(cursor);
    }

    FormatControl* control(NoteCommand command) const { return popover->control(command); }

    // The labels of the lit controls, in the popover's order.
    std::string lit() const
    {
        QStringList on;
        for (const NoteCommandInfo& info : noteCommands()) {
            if (control(info.command)->isOn())
                on << QString::fromLatin1(info.label);
        }
        return on.join(u", ").toStdString();
    }

    QWidget window;
    NoteTextView* view = nullptr;
    QPointer<FormatPopover> popover;
};

TEST_F(FormatPopoverTest, LightsWhatIsInEffectAtTheCaretAsTheNoteChanges)
{
    struct Case {
        const char* name;
        const char* note;
        std::function<void(NoteTextView&)> format; // with the caret at the start
        int from, to;
        const char* lit;
    };
    const auto none = [](NoteTextView&) {};
    for (const Case& c : {
             Case{"caret in a bulleted heading", "•\tPlans\nmore", &NoteTextView::formatHeading, 4, 4,
                  "Heading, Bold, Bulleted List"},
             Case{"unticked checklist item", "☐\ttask", none, 3, 3, "Body, Checklist"},
             Case{"ticked checklist item", "☑\tdone", none, 3, 3, "Body, Checklist"},
             Case{"second numbered item", "1.\tone\n2.\ttwo", none, 9, 9, "Body, Numbered List"},
             Case{"bold selection", "plain words",
                  [](NoteTextView& v) {
                      QTextCursor c = v.textCursor();
                      c.setPosition(5, QTextCursor::KeepAnchor);
                      v.setTextCursor(c);
                      v.toggleBold();
                  },
                  0, 5, "Body, Bold"},
             Case{"selection from a title into body", "Big\nsmall", &NoteTextView::formatTitle, 1, 7,
                  "Title, Bold"},
             Case{"caret back in plain body text", "•\tPlans\nmore", &NoteTextView::formatSubheading, 10, 10,
                  "Body"},
         }) {
        SCOPED_TRACE(c.name);
        load(t(c.note));
        c.format(*view);
        select(c.from, c.to);
        EXPECT_EQ(lit(), c.lit);
        // Assistive tools hear the same: a button, checked while lit, named by its tooltip.
        for (const NoteCommandInfo& info : noteCommands()) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control(info.command));
            ASSERT_NE(a, nullptr);
            EXPECT_EQ(a->role(), QAccessible::Button);
            EXPECT_EQ(a->state().checked, control(info.command)->isOn()) << info.label;
            EXPECT_EQ(a->text(QAccessible::Name), noteCommandTooltip(info.command));
        }
    }
}

TEST_F(FormatPopoverTest, ClickingAControlFormatsTheNoteAndEasesItsLightIn)
{
    struct Case {
        const char* name;
        const char* note;
        int from, to;
        NoteCommand command;
        int clicks;
        const char* lit;
        std::function<bool(const QTextDocument&)> formatted;
    };
    for (const Case& c : {
             Case{"Bold on a selection", "plain words", 0, 5, NoteCommand::bold, 1, "Body, Bold",
                  [](const QTextDocument& d) { return boldAt(d, 0) && !boldAt(d, 6); }},
             Case{"Bold twice", "plain words", 0, 5, NoteCommand::bold, 2, "Body",
                  [](const QTextDocument& d) { return !boldAt(d, 0); }},
             Case{"Heading", "words", 2, 2, NoteCommand::heading, 1, "Heading, Bold",
                  [](const QTextDocument& d) {
                      return Typography::role(charFormatAt(d, 0).value()) == TextRole::heading;
                  }},
             Case{"Checklist", "task", 2, 2, NoteCommand::checklist, 1, "Body, Checklist",
                  [](const QTextDocument& d) { return d.toPlainText().startsWith(u'☐'); }},
             Case{"Divider never stays lit", "above", 5, 5, NoteCommand::divider, 1, "Body",
                  [](const QTextDocument& d) {
                      return d.toPlainText().contains(ParagraphMarkers::divider());
                  }},
         }) {
        SCOPED_TRACE(c.name);
        load(t(c.note));
        select(c.from, c.to);
        FormatControl* clicked = control(c.command);
        const bool wasOn = clicked->isOn();
        for (int i = 0; i < c.clicks; ++i)
            QTest::mouseClick(clicked, Qt::LeftButton);
        EXPECT_EQ(lit(), c.lit);
        EXPECT_TRUE(c.formatted(*view->document()));
        // A change of light eases in; the content colour has already switched.
        if (clicked->isOn() != wasOn) {
            EXPECT_TRUE(clicked->isAnimating());
            EXPECT_FALSE(near(clicked->fill(), clicked->targetFill()));
        }
        EXPECT_EQ(
            clicked->contentColor(),
            clicked->palette().color(clicked->isOn() ? QPalette::HighlightedText : QPalette::WindowText));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !clicked->isAnimating(); }, 2000));
        EXPECT_TRUE(near(clicked->fill(), clicked->targetFill()));
    }
}

TEST_F(FormatPopoverTest, HoverAndPressTintTheSurfaceAndADragOutCancels)
{
    load(t("plain"));
    select(0, 5);
    FormatControl* bold = control(NoteCommand::bold);
    const QColor text = bold->palette().color(QPalette::WindowText);
    const QColor accent = bold->palette().color(QPalette::Highlight);
    const auto faded = [](QColor c, float alpha) {
        c.setAlphaF(alpha);
        return c;
    };
    struct Look {
        const char* name;
        bool on, hovered, pressed;
        QColor fill;
    };
    for (const bool reduced : {true, false}) {
        qputenv("VORN_REDUCE_MOTION", reduced ? "1" : "0");
        for (const Look& l : {
                 Look{"off", false, false, false, faded(text, 0)},
                 Look{"off, hovered", false, true, false, faded(text, 0.06f)},
                 Look{"off, pressed", false, true, true, faded(text, 0.12f)},
                 Look{"on", true, false, false, accent},
                 Look{"on, pressed", true, true, true,
                      QColor::fromRgbF(accent.redF() * 0.84f, accent.greenF() * 0.84f,
                                       accent.blueF() * 0.84f)},
             }) {
            SCOPED_TRACE(std::string(l.name) + (reduced ? ", reduced motion" : ""));
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(bold, &leave);
            bold->setOn(l.on, false);
            EXPECT_TRUE(QTest::qWaitFor([&] { return !bold->isAnimating(); }, 2000));
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), bold->mapToGlobal(QPointF(5, 5)));
            if (l.hovered)
                QApplication::sendEvent(bold, &enter);
            if (l.pressed)
                QTest::mousePress(bold, Qt::LeftButton);
            EXPECT_EQ(bold->isAnimating(), !reduced && l.hovered);
            EXPECT_TRUE(QTest::qWaitFor([&] { return !bold->isAnimating(); }, 2000));
            EXPECT_EQ(bold->isPressed(), l.pressed);
            EXPECT_TRUE(near(bold->fill(), l.fill)) << bold->fill().name(QColor::HexArgb).toStdString();
            EXPECT_EQ(bold->surfaceScale(), l.pressed && !reduced ? FormatControl::pressedScale : 1.0);
            if (!l.pressed)
                continue;
            // Dragged off the control (still inside the popover) it lets go; released there, nothing runs.
            QTest::mouseMove(bold, QPoint(-8, bold->height() / 2));
            EXPECT_FALSE(bold->isPressed());
            QTest::mouseRelease(bold, Qt::LeftButton, {}, QPoint(-8, bold->height() / 2));
            EXPECT_FALSE(boldAt(*view->document(), 0));
            EXPECT_TRUE(QTest::qWaitFor([&] { return !bold->isAnimating(); }, 2000));
            EXPECT_EQ(bold->surfaceScale(), 1.0);
        }
    }
}

TEST_F(FormatPopoverTest, LaysOutEveryGroupInOneColumnOf224)
{
    const QList<QWidget*> separators = popover->findChildren<QWidget*>(QStringLiteral("separator"));
    ASSERT_EQ(separators.size(), 2);
    const auto c = [&](NoteCommand command) -> QWidget* { return control(command); };
    using enum NoteCommand;
    struct Group {
        std::vector<QWidget*> widgets;
        bool across;
        int spacing;
    };
    int top = 12;
    for (const Group& g : {
             Group{{c(title), c(heading), c(subheading), c(body)}, false, 2},
             Group{{separators[0]}, true, 0},
             Group{{c(bold), c(italic), c(underline)}, true, 4},
             Group{{c(bullets), c(numbers), c(checklist), c(divider)}, true, 4},
             Group{{separators[1]}, true, 0},
             Group{{c(collapsible)}, true, 0},
         }) {
        SCOPED_TRACE(top);
        QRect all;
        QRect last;
        for (QWidget* w : g.widgets) {
            const QRect r(w->mapTo(popover.data(), QPoint(0, 0)), w->size());
            EXPECT_EQ(r.height(), qobject_cast<FormatControl*>(w) ? FormatControl::controlHeight : 1);
            if (!last.isNull()) {
                EXPECT_EQ(g.across ? r.left() - last.right() - 1 : r.top() - last.bottom() - 1, g.spacing);
                EXPECT_EQ(r.width(), last.width()); // equal widths in a row
            }
            all |= r;
            last = r;
        }
        EXPECT_EQ(all.left(), 12);
        EXPECT_EQ(all.width(), 224);
        EXPECT_EQ(all.top(), top);
        top = all.bottom() + 1 + 8;
    }
    EXPECT_EQ(popover->size(), QSize(248, top - 8 + 12));
}

TEST_F(FormatPopoverTest, OutlivesItsViewAndClosesOnEscapeOrAClickElsewhere)
{
    load(t("words"));
    select(0, 5);
    QTest::mouseClick(control(NoteCommand::bold), Qt::LeftButton);
    delete view;
    view = nullptr;
    popover->refresh(true);
    QTest::mouseClick(control(NoteCommand::italic), Qt::LeftButton);
    EXPECT_EQ(lit(), "Body, Bold");

    QTest::keyClick(popover, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return popover.isNull(); }, 2000));

    view = new NoteTextView(&window);
    view->setGeometry(0, 40, 520, 380);
    view->show();
    open();
    // A popup has the mouse to itself: a click elsewhere reaches it outside its own rectangle.
    QTest::mouseClick(popover, Qt::LeftButton, {}, QPoint(-40, -20));
    EXPECT_TRUE(QTest::qWaitFor([&] { return popover.isNull(); }, 2000));
}

TEST(FormatPopoverPlacement, GoesBelowTheAnchorAndStaysOnScreen)
{
    const QRect screen(0, 0, 1000, 800);
    const QSize size(248, 296);
    struct Case {
        const char* name;
        QRect anchor;
        QPoint at;
    };
    for (const Case& c : {
             Case{"centred below", QRect(400, 100, 40, 30), QPoint(296, 134)},
             Case{"pushed in from the right edge", QRect(960, 100, 40, 30), QPoint(752, 134)},
             Case{"pushed in from the left edge", QRect(0, 100, 40, 30), QPoint(0, 134)},
             Case{"above when there is no room below", QRect(400, 700, 40, 30), QPoint(296, 400)},
         }) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatPopover::placement(c.anchor, size, screen), c.at);
    }
    // No room above or below: as far down as the screen allows.
    EXPECT_EQ(FormatPopover::placement(QRect(400, 100, 40, 30), size, QRect(0, 0, 1000, 300)),
              QPoint(296, 4));
}

// Also writes the pictures for the docs when VORN_SCREENSHOT_DIR names a folder.
TEST_F(FormatPopoverTest, PaintsInThePalettesColoursLightAndDark)
{
    load(t("•\tPlans"));
    view->formatHeading();
    select(4, 4);
    const FormatControl* heading = control(NoteCommand::heading);
    const QPoint inHeading = heading->mapTo(popover.data(), QPoint(4, heading->height() / 2));
    for (const vorn::Appearance appearance : {vorn::Appearance::light, vorn::Appearance::dark}) {
        const QPalette palette = vorn::themedPalette(appearance);
        popover->setPalette(palette);
        const QImage shot = popover->grab().toImage();
        const bool dark = appearance == vorn::Appearance::dark;
        SCOPED_TRACE(dark ? "dark" : "light");
        const QColor back = palette.color(QPalette::Window);
        EXPECT_TRUE(near(shot.pixelColor(inHeading), over(palette.color(QPalette::Highlight), back)))
            << shot.pixelColor(inHeading).name(QColor::HexArgb).toStdString();
        EXPECT_TRUE(near(shot.pixelColor(6, shot.height() / 2), back));
        EXPECT_EQ(shot.pixelColor(0, 0).alpha(), 0); // the rounded corner is see-through
        if (const QString dir = qEnvironmentVariable("VORN_SCREENSHOT_DIR"); !dir.isEmpty()) {
            EXPECT_TRUE(shot.save(dir + (dark ? u"/format-popover-dark.png" : u"/format-popover-light.png")));
        }
    }
}

} // namespace

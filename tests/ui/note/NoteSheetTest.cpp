#include "ui/note/NoteSheet.h"

#include "model/AppModel.h"
#include "notes/NoteDump.h"
#include "notes/RichText.h"
#include "notes/Typography.h"
#include "notes/editor/NoteEditor.h"
#include "notes/format/FormatPopover.h"
#include "notes/view/NoteTextView.h"
#include "support/ModelHarness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace vorn {
namespace {

QString t(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// Key presses carrying each character, as a keyboard layout of that script sends them; "\n" is Return.
void typeInto(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        if (c == u'\n') {
            QTest::keyClick(widget, Qt::Key_Return);
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, c.isLetterOrNumber() ? int(c.toUpper().unicode()) : 0,
                        Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

struct NoteSheetTest : ::testing::Test {
    void SetUp() override
    {
        h.manualTimers();
        model = h.start();
        ASSERT_TRUE(model);
        thing = model->add(t("buy milk"), Source::today);
        ASSERT_TRUE(thing);
    }
    NoteSheet& open(const NoteTarget& target)
    {
        model->setEditingNote(target);
        sheet = std::make_unique<NoteSheet>(*model, target, nullptr);
        sheet->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
        QApplication::setActiveWindow(sheet.get());
        sheet->editor().focusText();
        return *sheet;
    }
    NoteSheet& openOwn() { return open(NoteTarget::thing(thing->id())); }
    notes::NoteTextView& text() const { return sheet->editor().textView(); }
    void type(const QString& keys) const { typeInto(&text(), keys); }
    QString noteFile() const
    {
        return thing->noteID() ? QDir(model->notesDir()).filePath(*thing->noteID() + t(".rtf")) : QString();
    }

    test::ModelHarness h;
    std::unique_ptr<AppModel> model;
    Thing* thing = nullptr;
    std::unique_ptr<NoteSheet> sheet;
};

TEST_F(NoteSheetTest, ABurstOfTypingSavesOnceAMomentAfterTheLastKey)
{
    openOwn();
    for (const QChar c : t("two litres")) {
        type(QString(c));
        h.timers->advance(NoteSheet::saveDelayMSecs - 100);
        EXPECT_EQ(thing->note(), QString()) << "saved during the burst";
    }
    h.timers->advance(99);
    EXPECT_EQ(thing->note(), QString());
    h.timers->advance(1);
    EXPECT_EQ(thing->note(), t("two litres"));
    EXPECT_TRUE(QFile::exists(noteFile()));
    EXPECT_FALSE(h.timers->isActive(t("noteSave")));
}

TEST_F(NoteSheetTest, TheTitleIsRenamedByReturnDoneAndEscape)
{
    const struct {
        const char* how;
        std::function<void(NoteSheet&)> finish;
        bool closes;
    } cases[] = {
        {"Return", [](NoteSheet& s) { QTest::keyClick(s.titleField(), Qt::Key_Return); }, false},
        {"Done", [](NoteSheet& s) { QTest::mouseClick(s.doneButton(), Qt::LeftButton); }, true},
        {"Escape", [](NoteSheet& s) { QTest::keyClick(s.titleField(), Qt::Key_Escape); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        NoteSheet& s = openOwn();
        EXPECT_EQ(s.titleField()->text(), thing->title());
        s.titleField()->selectAll();
        QTest::keyClicks(s.titleField(), t("oat milk ") + QString::fromLatin1(c.how));
        c.finish(s);
        EXPECT_EQ(thing->title(), t("oat milk ") + QString::fromLatin1(c.how));
        EXPECT_EQ(model->editingNote().has_value(), !c.closes);
    }
}

TEST_F(NoteSheetTest, ASavedNoteReopensLookingTheSameAndAnEmptiedOneLeavesNothingBehind)
{
    openOwn();
    type(t("Plan"));
    text().formatHeading();
    QTest::keyClick(&text(), Qt::Key_Return);
    type(t("• milk\n1. eggs\n"));
    QTest::keyClick(&text(), Qt::Key_Return);
    text().toggleChecklist();
    type(t("bread"));
    text().toggleBold();
    text().insertDivider();
    type(t("שלום"));
    const QString before = notes::dump(*text().document());
    QTest::mouseClick(sheet->doneButton(), Qt::LeftButton);
    ASSERT_TRUE(QFile::exists(noteFile()));

    openOwn();
    EXPECT_EQ(notes::dump(*text().document()), before);
    // Loaded before the sheet had its size, and still nothing to scroll once it has.
    QCoreApplication::processEvents();
    EXPECT_EQ(text().verticalScrollBar()->maximum(), 0);

    // Nothing but blank lines: no note, and no file left behind.
    const QString file = noteFile();
    text().selectAll();
    type(t("\n  \n"));
    QTest::keyClick(&text(), Qt::Key_Escape);
    EXPECT_FALSE(thing->noteID());
    EXPECT_EQ(thing->note(), QString());
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(NoteSheetTest, AFailedSaveKeepsWhatWasTypedAndTheNextSaveWritesIt)
{
    // A file where the notes folder should be: nothing can be written into it.
    ASSERT_TRUE(QDir(model->notesDir()).removeRecursively());
    QFile blocker(model->notesDir());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    openOwn();
    type(t("call the vet"));
    h.timers->advance(NoteSheet::saveDelayMSecs);
    EXPECT_EQ(model->toast(), t("Couldn't save the note."));
    EXPECT_EQ(thing->note(), QString()) << "the record changed without its file";
    EXPECT_EQ(model->noteContent(thing->id()).plain, t("call the vet")); // kept until the folder works
    EXPECT_EQ(sheet->editor().plainText(), t("call the vet"));

    ASSERT_TRUE(QFile::remove(model->notesDir()));
    type(t(" today"));
    QTest::keyClick(&text(), Qt::Key_Escape);
    EXPECT_EQ(thing->note(), t("call the vet today"));
    EXPECT_TRUE(QFile::exists(noteFile()));
}

TEST_F(NoteSheetTest, TypingWhileABigNoteSavesLosesNothingAndClosingWaitsForTheLastSave)
{
    // Far longer than a note saved at once: its saves are encoded and written off this thread.
    QStringList lines;
    for (int i = 0; i < 4000; ++i)
        lines << t("line %1 of a long note about the move").arg(i);
    const QString big = lines.join(u'\n');
    openOwn();
    text().moveCursor(QTextCursor::End);
    text().insertPlainText(big);
    sheet->save();
    // The record follows the file, which this thread hears of only at its next events: nothing yet.
    EXPECT_EQ(thing->note(), QString()) << "the save held the window until it was written";

    // Typed while that save runs, then saved again before the first has landed.
    type(t("\nfirst"));
    EXPECT_EQ(sheet->editor().plainText(), big + t("\nfirst")) << "keys were lost during the save";
    h.timers->advance(NoteSheet::saveDelayMSecs);
    type(t(" and last"));
    h.timers->advance(NoteSheet::saveDelayMSecs);
    const QString all = big + t("\nfirst and last");
    EXPECT_TRUE(QTest::qWaitFor([&] { return thing->note() == all; }, 20000)) << "the last save never landed";
    QFile file(noteFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::optional<notes::RichText::Decoded> written = notes::RichText::decode(file.readAll());
    ASSERT_TRUE(written);
    EXPECT_EQ(notes::RichText::plainCopy(*written->text), all) << "an earlier save overwrote a later one";

    // Typed and closed at once: the sheet waits for the save it makes as it goes.
    type(t("!"));
    QTest::keyClick(&text(), Qt::Key_Escape);
    EXPECT_EQ(thing->note(), all + t("!"));
    openOwn();
    EXPECT_EQ(sheet->editor().plainText(), all + t("!"));
}

TEST_F(NoteSheetTest, ABigNoteThatCannotBeWrittenIsKeptAndSaidOnceAsASmallOneIs)
{
    ASSERT_TRUE(QDir(model->notesDir()).removeRecursively());
    QFile blocker(model->notesDir());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString big = QString(t("a long line that keeps on going ")).repeated(2000);
    openOwn();
    text().insertPlainText(big);
    sheet->save();
    model->settleNotes();
    EXPECT_EQ(model->toast(), t("Couldn't save the note."));
    EXPECT_EQ(thing->note(), QString()) << "the record changed without its file";
    EXPECT_EQ(model->noteContent(thing->id()).plain, big.trimmed());

    ASSERT_TRUE(QFile::remove(model->notesDir()));
    text().moveCursor(QTextCursor::End);
    type(t("end"));
    QTest::keyClick(&text(), Qt::Key_Escape);
    EXPECT_EQ(thing->note(), QString(big + t("end")).trimmed());
    EXPECT_TRUE(QFile::exists(noteFile()));
}

TEST_F(NoteSheetTest, UndoInTheMainWindowTakesBackBothFormsOfANoteAndRedoBringsBothAgain)
{
    openOwn();
    type(t("Plan"));
    text().formatHeading();
    type(t("\nmilk"));
    QTest::mouseClick(sheet->doneButton(), Qt::LeftButton);
    openOwn();
    type(t(" and eggs"));
    QTest::mouseClick(sheet->doneButton(), Qt::LeftButton);

    const struct {
        const char* how;
        void (AppModel::*step)();
        QString expected;
    } cases[] = {
        {"undo", &AppModel::undo, t("Plan\nmilk")},
        {"redo", &AppModel::redo, t("Plan\nmilk and eggs")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        (model.get()->*c.step)();
        EXPECT_EQ(thing->note(), c.expected);
        openOwn(); // what the rich file holds
        EXPECT_EQ(sheet->editor().plainText(), c.expected);
        EXPECT_EQ(notes::Typography::role(text().document()->begin().begin().fragment().charFormat()),
                  notes::TextRole::heading);
        QTest::keyClick(&text(), Qt::Key_Escape);
    }
}

TEST_F(NoteSheetTest, KeysTypedWhileTheFormatPopoverIsOpenReachTheNote)
{
    openOwn();
    type(t("milk"));
    QTest::mouseClick(sheet->formatButton(), Qt::LeftButton);
    auto* popover = qobject_cast<notes::FormatPopover*>(QApplication::activePopupWidget());
    ASSERT_TRUE(popover) << "the Aa button opens the popover";
    // While a popup is open the keyboard is its own: the keys go to it.
    typeInto(popover, t(" and eggs"));
    QTest::keyClick(popover, Qt::Key_Backspace);
    QTest::keyClick(popover, Qt::Key_B, Qt::ControlModifier);
    typeInto(popover, t("!"));
    EXPECT_EQ(QApplication::activePopupWidget(), popover) << "typing keeps the popover open";
    EXPECT_TRUE(popover->control(notes::NoteCommand::bold)->isOn());
    EXPECT_EQ(sheet->editor().plainText(), t("milk and egg!"));
    const QTextBlock line = text().document()->firstBlock();
    EXPECT_TRUE((--line.end()).fragment().charFormat().font().bold());

    QTest::keyClick(popover, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QApplication::activePopupWidget(); }, 2000));
    h.timers->advance(NoteSheet::saveDelayMSecs);
    EXPECT_EQ(thing->note(), t("milk and egg!"));
}

// A model on the family file with the stand-in planner as the other process, and a sheet on one note.
struct FamilySheet {
    FamilySheet()
    {
        h.manualTimers();
        h.launch.syncsToFamily = true;
        model = h.start();
    }
    QString planner(QStringList args)
    {
        QProcess p;
        p.start(QStringLiteral(VORN_PLANNER_BINARY),
                QStringList{t("--db"), h.launch.familyStorePath()} + args);
        EXPECT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    // A planner row for today, or a thing of ours already mirrored into the family file.
    NoteTarget add(bool plannerRow, const QString& title)
    {
        if (plannerRow) {
            const QString id = planner({t("add"), title, t("--day"), model->todayISO()});
            model->familySync().refresh();
            return NoteTarget::shared(id);
        }
        const RecordId added = model->add(title, Source::today)->id();
        model->familySync().flush();
        return NoteTarget::thing(added);
    }
    std::optional<QString> noteID(const NoteTarget& target) const
    {
        if (target.thingID())
            return model->store().thing(*target.thingID())->noteID();
        return model->sharedThing(*target.sharedID())->noteID;
    }
    notes::NoteTextView& open(const NoteTarget& target)
    {
        model->setEditingNote(target);
        sheet = std::make_unique<NoteSheet>(*model, target, nullptr);
        sheet->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
        return sheet->editor().textView();
    }

    test::ModelHarness h;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<NoteSheet> sheet;
};

// A link (or a folder) where a note's file should be is somebody else's: never shown, never written
// through, never copied into the family file; the note moves to a fresh file of ours.
TEST(NoteSheetForeignFile, ALinkOrFolderInTheNotesPlaceIsLeftAloneAndTheNoteMovesToAFileOfOurs)
{
    const QByteArray secret = "{\\rtf1\\ansi SECRET words\\par}";
    const struct {
        const char* name;
        bool plannerRow;
        bool link;
    } cases[] = {
        {"our thing, a link", false, true},
        {"our thing, a folder", false, false},
        {"planner row, a link", true, true},
        {"planner row, a folder", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FamilySheet f;
        const NoteTarget target = f.add(c.plannerRow, t("pack"));
        if (c.plannerRow) {
            f.planner({t("note"), *target.sharedID(), t("plain copy")});
            f.model->familySync().refresh();
        } else {
            f.model->saveNote(*target.thingID(), "{\\rtf1 plain copy}", t("plain copy"));
        }
        const QString stem = *f.noteID(target);
        const QString place = QDir(f.model->notesDir()).filePath(stem + t(".rtf"));
        const QString victim = f.h.dir.filePath(t("victim.txt"));
        QFile v(victim);
        ASSERT_TRUE(v.open(QIODevice::WriteOnly) && v.write(secret) == secret.size());
        v.close();
        ASSERT_TRUE(QFile::remove(place));
        ASSERT_TRUE(c.link ? QFile::link(victim, place) : QDir().mkpath(place));

        notes::NoteTextView& view = f.open(target);
        EXPECT_EQ(f.sheet->editor().plainText(), t("plain copy")) << "the foreign file is never shown";
        typeInto(&view, t(" and more"));
        QTest::keyClick(&view, Qt::Key_Escape);

        EXPECT_NE(f.model->toast(), t("Couldn't save the note."));
        EXPECT_EQ(QFileInfo(place).isSymLink(), c.link);
        QFile after(victim);
        EXPECT_TRUE(after.open(QIODevice::ReadOnly) && after.readAll() == secret)
            << "written through the link";
        const std::optional<QString> now = f.noteID(target);
        EXPECT_TRUE(now && *now != stem &&
                    QFileInfo(QDir(f.model->notesDir()).filePath(*now + t(".rtf"))).isFile());
        f.model->familySync().flush();
        for (const SharedThing& row : f.model->familySync().familyStore()->allThings())
            EXPECT_FALSE(row.note.contains(t("SECRET"))) << row.title.toStdString();
    }
}

// The planner deletes the thing whose note is open; typing goes on.
TEST(NoteSheetGone, WhatIsTypedAfterThePlannerDeletedTheThingIsKeptAsANewThingOfOurs)
{
    const struct {
        const char* name;
        bool plannerRow;
        bool typesOn;
    } cases[] = {
        {"our thing, typing on", false, true},
        {"planner row, typing on", true, true},
        {"our thing, nothing typed after", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FamilySheet f;
        const QString title = t("call the bank");
        const NoteTarget target = f.add(c.plannerRow, title);
        const QString id =
            c.plannerRow ? *target.sharedID() : f.model->store().thing(*target.thingID())->syncID();
        notes::NoteTextView& view = f.open(target);
        typeInto(&view, t("ask about fees"));
        if (!c.typesOn)
            f.h.timers->advance(NoteSheet::saveDelayMSecs);

        f.planner({t("delete"), id});
        f.model->familySync().refresh(); // what the planner's broadcast sets off
        const auto* gone = f.sheet->findChild<QLabel*>(t("noteGone"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return gone && gone->isVisible(); }, 5000))
            << "the sheet says what happened";
        EXPECT_TRUE(gone && gone->text().startsWith(t("Deleted in Vorn Planner.")));
        if (c.typesOn)
            typeInto(&view, t("\nand the card"));
        QTest::keyClick(&view, Qt::Key_Escape);

        Thing* kept = f.h.thingTitled(*f.model, title);
        if (!c.typesOn) {
            EXPECT_FALSE(kept) << "nothing typed after: the planner's delete stands";
            continue;
        }
        ASSERT_TRUE(kept) << "what was typed went with the deleted thing";
        EXPECT_EQ(kept->note(), t("ask about fees\nand the card"));
        EXPECT_TRUE(f.model->noteContent(kept->id()).rtf.has_value());
        EXPECT_FALSE(f.model->editingNote());
    }
}

TEST(NoteSheetPlanner, APlannerRowsNoteAndTitleLandInTheFamilyFile)
{
    test::ModelHarness h;
    h.demo();
    h.launch.syncsToFamily = true;
    auto model = h.start();
    ASSERT_TRUE(model);
    ASSERT_FALSE(model->familyThings().empty()) << "the demo has a planner row";
    const QString id = model->familyThings().front().id;

    NoteSheet sheet(*model, NoteTarget::shared(id), nullptr);
    sheet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    EXPECT_EQ(sheet.titleField()->text(), model->sharedThing(id)->title);
    sheet.titleField()->setText(t("book the train"));
    typeInto(&sheet.editor().textView(), t("☐\taisle seat"));
    QTest::mouseClick(sheet.doneButton(), Qt::LeftButton);

    model->familySync().flush();
    const auto stored = model->familySync().familyStore()->allThings();
    const auto row =
        std::find_if(stored.begin(), stored.end(), [&](const SharedThing& s) { return s.id == id; });
    ASSERT_NE(row, stored.end());
    EXPECT_EQ(row->title, t("book the train"));
    EXPECT_EQ(row->note, t("☐\taisle seat"));
    ASSERT_TRUE(row->noteID);
    EXPECT_TRUE(QFile::exists(QDir(model->notesDir()).filePath(*row->noteID + t(".rtf"))));

    // Gone meanwhile: an empty sheet that saves nothing for it.
    model->familySync().markDeleted({*model->sharedThing(id)});
    NoteSheet gone(*model, NoteTarget::shared(id), nullptr);
    EXPECT_EQ(gone.titleField()->text(), QString());
    EXPECT_TRUE(gone.editor().isEmpty());
}

} // namespace
} // namespace vorn

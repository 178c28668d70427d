// screenshots [FOLDER]: opens the main window on the demo data in a throw-away home folder and writes
// Today, Later, Done-ish, a pile, the random screen, a note in its sheet with the format popover, the
// numbered note in its sheet, the settings window, the tray popup, the focus panel floating and not, the
// toolbar with four long-named lists at 900 and 560 px, and an empty Today, in light and dark, as PNG
// files into FOLDER (docs/screenshots by default).

#include "app/Appearance.h"
#include "app/DesktopColorScheme.h"
#include "app/MainWindow.h"
#include "app/MenuBarSetting.h"
#include "app/MenuBarView.h"
#include "app/SettingsView.h"
#include "app/TrayIcon.h"
#include "app/WindowStart.h"
#include "model/AppModel.h"
#include "model/Commands.h"
#include "model/KeyNames.h"
#include "model/Launch.h"
#include "notes/ParagraphMarkers.h"
#include "notes/Sections.h"
#include "notes/editor/NoteEditor.h"
#include "notes/format/FormatPopover.h"
#include "notes/view/NoteTextView.h"
#include "pixel/Theme.h"
#include "pixel/VornFont.h"
#include "ui/focus/FocusPanel.h"
#include "ui/focus/FocusPanelController.h"
#include "ui/list/ThingList.h"
#include "ui/list/ThingListView.h"
#include "ui/main/MainView.h"
#include "ui/main/PileNameField.h"
#include "ui/main/TabStrip.h"
#include "ui/note/NoteSheet.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <cstdio>

using namespace vorn;

namespace {

void settle()
{
    // Long enough for the store's change to arrive and the fades to finish.
    QTest::qWait(400);
}

std::optional<Tab> pileTab(const AppModel& model, const QString& name)
{
    for (Pile* p : model.piles()) {
        if (p->name() == name)
            return Tab::pile(p->id());
    }
    return std::nullopt;
}

Thing* thingTitled(AppModel& model, const QString& start)
{
    for (Thing* t : model.visibleThings(Source::today)) {
        if (t->title().startsWith(start))
            return t;
    }
    return nullptr;
}

// A note with every kind of paragraph: title, heading, styled body text, the three lists, a divider,
// right-to-left text and a folded section.
void writeFeatureNote(notes::NoteEditor& editor)
{
    using notes::ParagraphMarkers::divider;
    const QString text =
        QStringList{
            QStringLiteral("Trip to Lisbon"),
            QStringLiteral("Before we go"),
            QStringLiteral("Pack light, really light, and check the passport."),
            QStringLiteral("\u2022\tsocks"),
            QStringLiteral("\u2022\tcharger"),
            QStringLiteral("1.\tbook the train"),
            QStringLiteral("2.\tcall Mum"),
            QStringLiteral("\u2611\tprint the tickets"),
            QStringLiteral("\u2610\tbuy sunscreen"),
            divider(),
            QStringLiteral(
                "\u05e9\u05dc\u05d5\u05dd, \u05e0\u05ea\u05e8\u05d0\u05d4 \u05d1\u05e7\u05e8\u05d5\u05d1"),
            QStringLiteral("Packing list"),
            QStringLiteral("passport, adapters, the good shoes"),
            QStringLiteral("Later"),
            QStringLiteral("a folded section hides this line"),
        }
            .join(u'\n');
    editor.load(std::nullopt, text);
    notes::NoteTextView& view = editor.textView();
    QTextDocument& note = *view.document();
    const auto paragraph = [&](int n) { return note.findBlockByNumber(n); };
    const auto caretIn = [&](int n) { view.setTextCursor(QTextCursor(paragraph(n))); };
    const auto select = [&](int n, const QString& word) {
        QTextCursor c(paragraph(n));
        const int at = paragraph(n).text().indexOf(word);
        c.setPosition(paragraph(n).position() + at);
        c.setPosition(paragraph(n).position() + at + int(word.size()), QTextCursor::KeepAnchor);
        view.setTextCursor(c);
    };
    caretIn(0);
    view.formatTitle();
    caretIn(1);
    view.formatHeading();
    select(2, QStringLiteral("really"));
    view.toggleBold();
    select(2, QStringLiteral("check"));
    view.toggleItalic();
    select(2, QStringLiteral("passport"));
    view.toggleUnderline();
    caretIn(11);
    view.toggleCollapsibleSection();
    caretIn(13);
    view.toggleCollapsibleSection();
    // Folded as a click on its chevron folds it: the last heading's section.
    const auto headings = notes::Sections::headings(note);
    QTextCursor caret = view.textCursor();
    view.folding().toggleFolded(int(headings.size()) - 1, caret);
    caretIn(3);
    view.verticalScrollBar()->setValue(0);
}

// Numbered items past nine under headings, a checklist and a divider: text sizes against the list
// indents, "10." to "12." lined up with "1." to "9.".
void writeNumberedNote(notes::NoteEditor& editor)
{
    QStringList lines{QStringLiteral("Moving house"),
                      QStringLiteral("Before the van comes"),
                      QStringLiteral("\u2611\tlabel the boxes"),
                      QStringLiteral("\u2610\tread the meters"),
                      notes::ParagraphMarkers::divider(),
                      QStringLiteral("The twelve steps")};
    for (int n = 1; n <= 12; ++n)
        lines << QStringLiteral("%1.\tstep %1 of the move").arg(n);
    editor.load(std::nullopt, lines.join(u'\n'));
    notes::NoteTextView& view = editor.textView();
    QTextDocument& note = *view.document();
    const auto caretIn = [&](int n) { view.setTextCursor(QTextCursor(note.findBlockByNumber(n))); };
    caretIn(0);
    view.formatTitle();
    caretIn(1);
    view.formatSubheading();
    caretIn(5);
    view.formatHeading();
    caretIn(6);
    view.verticalScrollBar()->setValue(0);
}

} // namespace

int main(int argc, char** argv)
{
    // Pictures only: no display needed, and nothing of the user's is read or written.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const char* name :
         {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "VORN_NOTES_DIR", "VORN_FAMILY_DB"})
        qunsetenv(name);
    qputenv("VORN_REDUCE_MOTION", "1"); // the yawn holds still, so every run draws the same picture

    QApplication qapp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorn"));
    QCoreApplication::setApplicationName(QStringLiteral("vorn-todo"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VORN_SCREENSHOT_DIR);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "screenshots: cannot make %s\n", qPrintable(folder));
        return 1;
    }
    VornFont::registerFont();
    // The app's own way to light or dark, with the desktop's answer given here instead of over the bus.
    DesktopColorScheme colorScheme(QDBusConnection(QStringLiteral("no bus")));
    wearDesktopAppearance(colorScheme);

    int failures = 0;
    for (Appearance appearance : {Appearance::light, Appearance::dark}) {
        colorScheme.setScheme(appearance == Appearance::dark ? ColorScheme::preferDark
                                                             : ColorScheme::preferLight);
        // A fresh home per pass, so the second pass starts from the same demo as the first.
        QTemporaryDir home;
        qputenv("HOME", home.path().toLocal8Bit());
        Launch launch = Launch::fromProcess();
        launch.arguments = {QStringLiteral("vorn-todo"), QStringLiteral("-demo")};
        launch.useSessionBus = false;
        QString error;
        auto app = openWindowApp(launch, &error);
        if (!app) {
            std::fprintf(stderr, "screenshots: %s\n", qPrintable(error));
            return 1;
        }
        AppModel& model = *app->model;
        app->window->show();
        settle();
        const QString suffix =
            appearance == Appearance::dark ? QStringLiteral("-dark") : QStringLiteral("-light");
        // The whole window, or only `part` of it; `tail` follows the appearance in the name.
        const auto shoot = [&](const QString& name, QWidget* part = nullptr, const QString& tail = {}) {
            settle();
            const QString path = QDir(folder).filePath(name + suffix + tail + QStringLiteral(".png"));
            const QPixmap picture = part ? part->grab() : app->window->grab();
            if (!picture.save(path, "PNG")) {
                std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
                ++failures;
                return;
            }
            std::printf("%s\n", qPrintable(path));
        };

        // Today with its first row selected, as it looks after a press of ↓.
        model.setTab(Tab::list(TodoList::today));
        const auto today = model.rows(Source::today, true);
        if (!today.empty())
            model.select(today.front().id());
        shoot(QStringLiteral("today"));
        model.setTab(Tab::list(TodoList::later));
        shoot(QStringLiteral("later"));
        model.setTab(Tab::list(TodoList::doneIsh));
        shoot(QStringLiteral("done-ish"));
        if (const auto groceries = pileTab(model, QStringLiteral("Groceries"))) {
            model.setTab(*groceries);
            shoot(QStringLiteral("pile"));
        }
        model.setTab(Tab::random());
        shoot(QStringLiteral("random"));

        // A note with every feature in its sheet over Today, the format popover open; drawn into one
        // picture as the desktop shows the three windows.
        model.setTab(Tab::list(TodoList::today));
        if (!today.empty() && today.front().id().thingID()) {
            model.setEditingNote(NoteTarget::thing(*today.front().id().thingID()));
            if (NoteSheet* sheet = app->window->mainView()->noteSheet()) {
                writeFeatureNote(sheet->editor());
                sheet->editor().showFormat(sheet->formatButton());
                settle();
                QPixmap picture = app->window->grab();
                QPainter painter(&picture);
                const QPoint sheetAt((picture.width() - sheet->width()) / 2, 0);
                painter.drawPixmap(sheetAt, sheet->grab());
                if (notes::FormatPopover* popover = sheet->editor().formatPopover()) {
                    const QPoint below =
                        sheet->formatButton()->mapTo(sheet, QPoint(0, sheet->formatButton()->height()));
                    const QPoint popoverAt =
                        sheetAt + below +
                        QPoint(sheet->formatButton()->width() / 2 - popover->width() / 2, 4);
                    painter.drawPixmap(popoverAt, popover->grab());
                    popover->close();
                }
                painter.end();
                const QString path =
                    QDir(folder).filePath(QStringLiteral("note") + suffix + QStringLiteral(".png"));
                if (picture.save(path, "PNG"))
                    std::printf("%s\n", qPrintable(path));
                else
                    ++failures;
                // Taller than the sheet opens, so all twelve items show.
                const QSize opened = sheet->size();
                sheet->resize(opened.width(), 600);
                writeNumberedNote(sheet->editor());
                shoot(QStringLiteral("note-numbered"), sheet);
                sheet->resize(opened);
            }
            model.setEditingNote(std::nullopt);
        }

        // The settings window (here without a tray, as on the virtual display) and the tray's popup.
        MenuBarSetting menuBar(model.settings());
        const TrayIcon tray(model);
        SettingsView settings(model, menuBar, tray.isAvailable());
        settings.show();
        shoot(QStringLiteral("settings"), &settings);
        settings.close();
        MenuBarView popup(model);
        popup.popUp(QRect(900, 0, 24, 24));
        shoot(QStringLiteral("tray-popup"), &popup);
        popup.close();

        // Focus mode on Today: the panel floating, then as an ordinary window (only the pin differs).
        model.setTab(Tab::list(TodoList::today));
        model.setFloats(true);
        model.enterFocusMode();
        if (FocusPanel* panel = app->focus->panel()) {
            shoot(QStringLiteral("focus"), panel);
            model.setFloats(false);
            shoot(QStringLiteral("focus"), panel, QStringLiteral("-notfloating"));
            model.setFloats(true);
        }
        model.exitFocusMode();

        // Four lists with long names, the last one made selected: its name elided, the tabs that still
        // do not fit folded behind the strip's last button.
        Pile* books = model.createPile(QStringLiteral("Books I keep meaning to read"));
        Pile* presents = model.createPile(QStringLiteral("Presents for everyone this year"));
        auto* toolbar = app->window->findChild<QWidget*>(QStringLiteral("toolbar"));
        for (int width : {900, 560}) {
            app->window->resize(width, app->window->height());
            shoot(QStringLiteral("tabstrip-%1").arg(width), toolbar);
        }
        app->window->resize(MainWindow::defaultSize);
        for (Pile* pile : {presents, books}) {
            if (pile)
                model.deletePile(*pile, false);
        }

        // A title being renamed (nothing of the old one shows under the editor), the add row open under
        // the rows (the end drop zone after it), and a toast over the hint line.
        model.setTab(Tab::list(TodoList::today));
        settle();
        ThingListView* list = app->window->mainView()->thingList()->view();
        if (Thing* dentist = thingTitled(model, QStringLiteral("Book the dentist"))) {
            list->beginEditing(RowID::thing(dentist->id()));
            if (auto* editor = list->findChild<QLineEdit*>(QStringLiteral("titleEditor")))
                editor->setText(QStringLiteral("Dent"));
            shoot(QStringLiteral("renaming"));
            if (auto* editor = list->findChild<QLineEdit*>(QStringLiteral("titleEditor")))
                QTest::keyClick(editor, Qt::Key_Escape);
        }
        model.requestAdd();
        settle();
        if (list->addField())
            list->addField()->setText(QStringLiteral("Call the plumber"));
        shoot(QStringLiteral("adding"));
        if (list->addField())
            list->addField()->clear();
        list->setFocus();
        model.showToast(QStringLiteral("Deleted. ") + keyName(commandKeys(CommandId::undo)) +
                        QStringLiteral(" if that was a mistake."));
        QTest::qWait(400); // the fade in
        shoot(QStringLiteral("toast"));

        // The new-list popover over the screen's title, drawn into the window's picture as the desktop
        // shows the two windows.
        model.requestNewPile();
        settle();
        if (PileNameField* popover = app->window->mainView()->tabStrip()->namingField()) {
            QPixmap picture = app->window->grab();
            QPainter painter(&picture);
            painter.drawPixmap(app->window->mapFromGlobal(popover->pos()), popover->grab());
            painter.end();
            const QString path =
                QDir(folder).filePath(QStringLiteral("new-list") + suffix + QStringLiteral(".png"));
            if (picture.save(path, "PNG"))
                std::printf("%s\n", qPrintable(path));
            else
                ++failures;
            popover->close();
        }

        model.setTab(Tab::list(TodoList::today));
        QSet<RowID> all;
        for (const ListRow& row : model.rows(Source::today, true))
            all.insert(row.id());
        model.remove(all, std::nullopt);
        QTest::qWait(3500); // the deletion's toast goes by itself
        shoot(QStringLiteral("today-empty"));
        // Starting to add on the empty list shows the field where the rows will be.
        model.requestAdd();
        settle();
        shoot(QStringLiteral("today-empty-adding"));

        // Long names cut with "…": the one thing left to pick on the random card, and a list in focus mode.
        QSet<RowID> later;
        for (const ListRow& row : model.rows(Source::later, true))
            later.insert(row.id());
        model.remove(later, std::nullopt);
        model.add(QStringLiteral("Write the long overdue letter to the landlord about the heating, again"),
                  Source::today);
        QTest::qWait(3500);
        model.setTab(Tab::random());
        shoot(QStringLiteral("random-long-title"));
        if (Pile* research =
                model.createPile(QStringLiteral("Research and development for the entire company"))) {
            model.setTab(Tab::pile(research->id()));
            model.enterFocusMode();
            if (FocusPanel* panel = app->focus->panel())
                shoot(QStringLiteral("focus-long-list"), panel);
            model.exitFocusMode();
        }
    }
    return failures == 0 ? 0 : 1;
}

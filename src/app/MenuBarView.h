#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vorn {

class AppModel;
class CalendarSyncRunner;
class ThingList;

// What the tray icon opens: Today in the compact list, and a way back to the window or out of the app.
// With a calendar account, one quiet line of how its sync stands. A popup: a click elsewhere or Escape
// closes it.
class MenuBarView : public QWidget {
    Q_OBJECT

public:
    static constexpr int fixedWidth = 300;

    explicit MenuBarView(AppModel& model, QWidget* parent = nullptr);

    ThingList* list() const { return m_list; }
    QPushButton* openButton() const { return m_open; }
    QPushButton* quitButton() const { return m_quit; }
    // The sync's status line (shown only while an account is set up) and its progress bar follow `sync`.
    void setCalendarSync(CalendarSyncRunner& sync);
    QLabel* syncStatusLine() const { return m_syncStatus; }
    QProgressBar* syncProgress() const { return m_syncProgress; }
    // Shows the popup beside `anchor` (the tray icon's place on screen), or at the cursor when the
    // desktop doesn't say where the icon is, kept inside the screen's available area.
    void popUp(const QRect& anchor);

Q_SIGNALS:
    void openRequested(); // "Open vorn todo"
    void quitRequested(); // "Quit (eventually)"

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void fitList();
    void place();
    void showSyncStatus();

    AppModel& m_model;
    ThingList* m_list;
    QWidget* m_divider;
    QPushButton* m_open;
    QPushButton* m_quit;
    QLabel* m_syncStatus;
    QProgressBar* m_syncProgress;
    CalendarSyncRunner* m_sync = nullptr;
    // Where the popup was last opened, so it can stay beside it as it grows.
    QRect m_anchor;
};

// Where a popup of `size` goes beside `anchor`: below it when the icon is in a top panel, above it for a
// bottom panel, always inside `screen`.
QPoint popupPosition(const QRect& anchor, const QSize& size, const QRect& screen);

} // namespace vorn

#pragma once

#include "model/Entities.h"
#include "ui/note/NoteSheet.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QLineEdit;
class QVBoxLayout;

namespace vorn {

class AppModel;
class FocusButton;
class NewThingButton;
class TabStrip;
class ThingList;
class ToastView;

// The content of the main window: the toolbar (tabs, focus button, new-thing button, search), one
// screen for the current tab, and the toast over the bottom. It reads the model and calls its
// operations; what it holds itself is which screen is up and whether a note is open.
class MainView : public QWidget {
    Q_OBJECT

public:
    static constexpr int pollCount = 20;
    static constexpr int pollMSecs = 25;
    static constexpr int toastBottom = 16;

    explicit MainView(AppModel& model, QWidget* parent = nullptr);

    TabStrip* tabStrip() const { return m_tabs; }
    FocusButton* focusButton() const { return m_focus; }
    NewThingButton* newThingButton() const { return m_newThing; }
    QLineEdit* searchField() const { return m_search; }
    ToastView* toastView() const { return m_toast; }
    // The screen of the current tab: a list screen or the random screen.
    QWidget* screen() const { return m_screen; }
    // The list on screen; null on the random tab.
    ThingList* thingList() const;

    // Whether the main window is up; the focus-mode restore waits for it.
    void setWindowVisible(std::function<bool()> visible) { m_windowVisible = std::move(visible); }

    // The sheet of the note the model is editing; none while it edits none.
    NoteSheet* noteSheet() const { return m_noteSheet; }

    // Re-enters focus mode once per view when the app was left in it: as soon as the window is
    // visible, or after pollCount polls at most. Runs by itself the first time the view is shown.
    void restoreFocusMode();
    bool restoredMode() const { return m_restoredMode; }

Q_SIGNALS:
    // The focus button, or a restore of the mode the app was left in. Focus mode belongs to the shell:
    // the button stays disabled until something listens.
    void focusModeRequested();

protected:
    void connectNotify(const QMetaMethod& signal) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeToolbar();
    void showScreenForTab();
    void followEditingNote();
    void refreshToolbar();
    void placeToast();
    void pollForWindow(int remaining);

    AppModel& m_model;
    QVBoxLayout* m_layout;
    TabStrip* m_tabs = nullptr;
    FocusButton* m_focus = nullptr;
    NewThingButton* m_newThing = nullptr;
    QLineEdit* m_search = nullptr;
    ToastView* m_toast = nullptr;
    QPointer<QWidget> m_screen;
    QPointer<ThingList> m_list;
    std::optional<Source> m_shownSource; // none: the random screen
    std::function<bool()> m_windowVisible;
    bool m_restoredMode = false;
    QPointer<NoteSheet> m_noteSheet;
};

} // namespace vorn

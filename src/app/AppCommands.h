#pragma once

#include "store/RecordId.h"

#include <QObject>

#include <vector>

class QAction;
class QMenu;
class QMenuBar;

namespace vorn {

class AppModel;

// The menu commands and their shortcuts (Ctrl on Linux, ⌘ on macOS). They act on the model, except the
// edit commands, which a focused text field takes first.
class AppCommands : public QObject {
    Q_OBJECT

public:
    static constexpr int pileShortcuts = 4; // Ctrl+5 to Ctrl+8

    AppCommands(AppModel& model, QMenuBar* menuBar, QObject* parent = nullptr);

    QAction* action(const QString& objectName) const;
    // The pile items of the View menu, at most four, in pile order.
    const std::vector<QAction*>& pileActions() const { return m_pileActions; }

Q_SIGNALS:
    void preferencesRequested(); // File > Preferences…: the settings window is the shell's
    void importRequested();      // File > Import…: the file dialogs are the shell's too
    void exportRequested();      // File > Export…
    void quitRequested();        // File > Quit: the shell saves first, and asks when it can't

private:
    void buildFile(QMenuBar* bar);
    void buildEdit(QMenuBar* bar);
    void buildView(QMenuBar* bar);
    void refreshPileActions();
    void refreshEnabled();
    void refreshFocusMode(); // the focus item's title and the float check follow the model
    QAction* add(QMenu* menu, const QString& name, const QString& title, const QKeySequence& shortcut);

    AppModel& m_model;
    QMenu* m_view = nullptr;
    QAction* m_focusMode = nullptr;
    QAction* m_floatOnTop = nullptr;
    QAction* m_pileAnchor = nullptr; // pile items go before this
    std::vector<QAction*> m_actions;
    std::vector<QAction*> m_pileActions;
    std::vector<RecordId> m_pileActionIds; // the piles m_pileActions stand for, in order
};

} // namespace vorn

#pragma once

#include "model/Commands.h"
#include "store/RecordId.h"

#include <QObject>
#include <QPointer>
#include <QSet>

#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace vorn {

class AppModel;

// The menu bar built from the command table (Ctrl on Linux, ⌘ on macOS). The commands act on the model,
// except the edit commands, which a focused text field takes first; the same actions serve every window
// they are shared with, so a command works wherever the keyboard is.
class AppCommands : public QObject {
    Q_OBJECT

public:
    static constexpr int pileShortcuts = kPileCommands; // Ctrl+5 to Ctrl+8

    AppCommands(AppModel& model, QMenuBar* menuBar, QObject* parent = nullptr);

    QAction* action(const QString& objectName) const;
    // The pile items of the View menu, at most four, in pile order.
    const std::vector<QAction*>& pileActions() const { return m_pileActions; }
    // Every command's action, the pile items included.
    QList<QAction*> actions() const;
    // Puts the actions on another window (the focus panel), so their shortcuts work there too; commands
    // named in `except` are left to that window's own. Pile items made later follow.
    void shareWith(QWidget* window, const QSet<QString>& except);

Q_SIGNALS:
    void preferencesRequested(); // File > Preferences…: the settings window is the shell's
    void importRequested();      // File > Import…: the file dialogs are the shell's too
    void exportRequested();      // File > Export…
    void syncAccountRequested(); // File > Sync with a Calendar Server…
    void quitRequested();        // File > Quit: the shell saves first, and asks when it can't

private:
    void toWindow(CommandId id);
    QAction* add(QMenu* menu, const Command& command);
    void refreshPileActions();

    AppModel& m_model;
    QMenu* m_view = nullptr;
    QAction* m_pileAnchor = nullptr; // pile items go before this
    std::vector<QAction*> m_actions;
    std::vector<QAction*> m_pileActions;
    std::vector<RecordId> m_pileActionIds; // the piles m_pileActions stand for, in order
    struct Sharing {
        QPointer<QWidget> window;
        QSet<QString> except;
    };
    std::vector<Sharing> m_sharing;
};

} // namespace vorn

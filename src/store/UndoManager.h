#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace vorn {

// Records undo actions in groups. Actions registered while one user action is handled form one group
// unless an explicit group is open: a step ends with the event-loop turn and at each input or focus
// event, since Qt may hand over several user actions in one turn (a title editor's commit as it loses
// focus, then the click that took the focus). Undoing a group registers its inverse actions as one redo
// group, and back.
class UndoManager : public QObject {
    Q_OBJECT

public:
    using Action = std::function<void()>;

    explicit UndoManager(QObject* parent = nullptr);
    ~UndoManager() override;

    void registerUndo(Action action);

    // Explicit groups nest; everything registered until the outermost endGroup() is undone as one step.
    void beginGroup();
    void endGroup();
    int groupingLevel() const { return m_level; }

    bool canUndo() const;
    bool canRedo() const;
    void undo();
    void redo();
    bool isUndoing() const { return m_state == State::Undoing; }
    bool isRedoing() const { return m_state == State::Redoing; }

    // While disabled, changes are not recorded (start-up work, loading, seeding).
    void disableRegistration() { ++m_disabled; }
    void enableRegistration() { --m_disabled; }
    bool isRegistrationEnabled() const { return m_disabled == 0; }

    void removeAllActions();
    // Oldest groups are dropped beyond this many; 0 keeps everything.
    void setLevelsOfUndo(int levels) { m_levels = levels; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

Q_SIGNALS:
    void didUndo();
    void didRedo();
    // canUndo() or canRedo() may have changed.
    void stateChanged();

private:
    enum class State { Idle, Undoing, Redoing };
    using Group = std::vector<Action>;

    void closeImplicitGroup();
    void pushGroup(std::vector<Group>& stack, Group group);
    void run(std::vector<Group>& from, State state);

    std::vector<Group> m_undo;
    std::vector<Group> m_redo;
    Group m_open;
    int m_level = 0;
    bool m_implicitOpen = false;
    bool m_closePosted = false;
    int m_disabled = 0;
    int m_levels = 0;
    State m_state = State::Idle;
};

// Keeps registration off for a scope.
class UndoRegistrationPause {
public:
    explicit UndoRegistrationPause(UndoManager& undo) : m_undo(undo) { m_undo.disableRegistration(); }
    ~UndoRegistrationPause() { m_undo.enableRegistration(); }
    UndoRegistrationPause(const UndoRegistrationPause&) = delete;
    UndoRegistrationPause& operator=(const UndoRegistrationPause&) = delete;

private:
    UndoManager& m_undo;
};

// Groups everything registered in a scope into one undo step.
class UndoGroup {
public:
    explicit UndoGroup(UndoManager& undo) : m_undo(undo) { m_undo.beginGroup(); }
    ~UndoGroup() { m_undo.endGroup(); }
    UndoGroup(const UndoGroup&) = delete;
    UndoGroup& operator=(const UndoGroup&) = delete;

private:
    UndoManager& m_undo;
};

} // namespace vorn

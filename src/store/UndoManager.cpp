#include "store/UndoManager.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QThread>

namespace vorn {

namespace {

// The events that hand the app a new user action; what happened before them was another one.
bool startsUserAction(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

UndoManager::UndoManager(QObject* parent) : QObject(parent)
{
    // Sees every event before its receiver does, so a step closes before the next action begins.
    QCoreApplication* app = QCoreApplication::instance();
    if (app && app->thread() == QThread::currentThread())
        app->installEventFilter(this);
}

bool UndoManager::eventFilter(QObject* watched, QEvent* event)
{
    if (m_implicitOpen && startsUserAction(event->type()))
        closeImplicitGroup();
    return QObject::eventFilter(watched, event);
}

UndoManager::~UndoManager() = default;

void UndoManager::registerUndo(Action action)
{
    if (!isRegistrationEnabled())
        return;
    if (m_state == State::Idle && m_level == 0 && !m_implicitOpen) {
        // A new user-level change invalidates what could be redone.
        if (!m_redo.empty()) {
            m_redo.clear();
            Q_EMIT stateChanged();
        }
    }
    m_open.push_back(std::move(action));
    // Inverse actions of an undo or redo are collected by run() into the opposite stack.
    if (m_state == State::Idle && m_level == 0 && !m_implicitOpen) {
        m_implicitOpen = true;
        if (!m_closePosted) {
            m_closePosted = true;
            // Everything registered during this event-loop turn becomes one undo step.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_closePosted = false;
                    closeImplicitGroup();
                },
                Qt::QueuedConnection);
        }
    }
}

void UndoManager::closeImplicitGroup()
{
    if (!m_implicitOpen || m_level != 0)
        return;
    m_implicitOpen = false;
    if (!m_open.empty()) {
        pushGroup(m_undo, std::move(m_open));
        m_open = {};
        Q_EMIT stateChanged();
    }
}

void UndoManager::beginGroup()
{
    if (m_level == 0) {
        // Close what the turn collected so far, so the explicit group stands alone.
        closeImplicitGroup();
        if (m_state == State::Idle && !m_redo.empty()) {
            m_redo.clear();
            Q_EMIT stateChanged();
        }
    }
    ++m_level;
}

void UndoManager::endGroup()
{
    Q_ASSERT(m_level > 0);
    if (m_level == 0)
        return;
    if (--m_level == 0 && m_state == State::Idle && !m_open.empty()) {
        pushGroup(m_undo, std::move(m_open));
        m_open = {};
        Q_EMIT stateChanged();
    }
}

void UndoManager::pushGroup(std::vector<Group>& stack, Group group)
{
    stack.push_back(std::move(group));
    if (m_levels > 0 && int(stack.size()) > m_levels)
        stack.erase(stack.begin());
}

bool UndoManager::canUndo() const
{
    return !m_undo.empty() || (m_implicitOpen && !m_open.empty());
}

bool UndoManager::canRedo() const
{
    return !m_redo.empty();
}

void UndoManager::run(std::vector<Group>& from, State state)
{
    if (from.empty() || m_state != State::Idle || m_level != 0)
        return;
    Group group = std::move(from.back());
    from.pop_back();
    m_state = state;
    m_open = {};
    for (auto it = group.rbegin(); it != group.rend(); ++it)
        (*it)();
    Group inverse = std::move(m_open);
    m_open = {};
    m_state = State::Idle;
    if (!inverse.empty())
        pushGroup(state == State::Undoing ? m_redo : m_undo, std::move(inverse));
}

void UndoManager::undo()
{
    // An undo right after a change, before the turn ended, undoes that change.
    closeImplicitGroup();
    if (m_undo.empty() || m_level != 0)
        return;
    run(m_undo, State::Undoing);
    Q_EMIT stateChanged();
    Q_EMIT didUndo();
}

void UndoManager::redo()
{
    closeImplicitGroup();
    if (m_redo.empty() || m_level != 0)
        return;
    run(m_redo, State::Redoing);
    Q_EMIT stateChanged();
    Q_EMIT didRedo();
}

void UndoManager::removeAllActions()
{
    m_undo.clear();
    m_redo.clear();
    m_open.clear();
    m_implicitOpen = false;
    Q_EMIT stateChanged();
}

} // namespace vorn

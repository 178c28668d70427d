#include "ui/list/ThingListView.h"

#include "model/Commands.h"
#include "pixel/PixelView.h"
#include "pixel/Pixels.h"
#include "pixel/Theme.h"
#include "text/InputLimits.h"
#include "ui/components/ThemedLabel.h"
#include "ui/list/EndDropZone.h"
#include "ui/list/ThingDelegate.h"
#include "ui/list/ThingListModel.h"
#include "ui/steps/StepsView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTimer>

namespace vorn {

namespace {

// Compact lists grow with their rows up to this many, then scroll.
constexpr int kCompactVisibleRows = 10;

} // namespace

ThingListView::ThingListView(AppModel& model, Source source, ListStyle style, QWidget* parent)
    : QListView(parent), m_model(model), m_style(style)
{
    setObjectName(QStringLiteral("thingList"));
    m_listModel = new ThingListModel(model, std::move(source), style, this);
    m_delegate = new ThingDelegate(style, this);
    setModel(m_listModel);
    setItemDelegate(m_delegate);
    // The model's selection is the truth; the view's selection only mirrors it for painting.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(!metrics(style).showsDetails);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
    if (style == ListStyle::regular)
        m_endZone = new EndDropZone(*this);

    m_titleClickTimer = new QTimer(this);
    m_titleClickTimer->setSingleShot(true);
    connect(m_titleClickTimer, &QTimer::timeout, this, &ThingListView::renameAfterTitleClick);

    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::selection)
            mirrorSelection();
    });
    connect(&m_model, &AppModel::addRequested, this, &ThingListView::startAdding);
    const auto rowsChanged = [this] {
        placeStepsViews();
        mirrorSelection();
        placeAddField();
    };
    connect(m_listModel, &QAbstractItemModel::modelReset, this, rowsChanged);
    connect(m_listModel, &QAbstractItemModel::rowsInserted, this, rowsChanged);
    connect(m_listModel, &QAbstractItemModel::rowsRemoved, this, rowsChanged);
    // The rows exist before any signal: a thing left open in another list shows its steps here too.
    placeStepsViews();
    mirrorSelection();
    if (style == ListStyle::compact)
        makeAddRow();
    placeAddField();
}

const Source& ThingListView::source() const
{
    return m_listModel->source();
}

void ThingListView::setSource(const Source& source)
{
    if (source == m_listModel->source())
        return;
    if (state() == QAbstractItemView::EditingState) {
        if (QWidget* editor = indexWidget(currentIndex()))
            closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    }
    if (m_addRow) {
        m_addRow->hide();
        m_addRow->deleteLater();
        m_addRow = nullptr;
        m_addField = nullptr;
        Q_EMIT addingChanged(false);
    }
    setAwaitingSnooze(false);
    m_dropTarget.reset();
    cancelTitleClick();
    m_listModel->setSource(source);
    if (m_style == ListStyle::compact)
        makeAddRow();
    placeAddField();
}

bool ThingListView::isDoneIsh() const
{
    return m_listModel->source() == Source::doneIsh;
}

bool ThingListView::isTyping() const
{
    if (state() == QAbstractItemView::EditingState || (m_addField && m_addField->hasFocus()))
        return true;
    // A steps field or any other text field that has the keys counts too.
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus->inherits("QLineEdit") || focus->inherits("QTextEdit") ||
                     focus->inherits("QPlainTextEdit"));
}

StepsView* ThingListView::stepsView(RecordId thing) const
{
    for (int entry = 0; entry < m_listModel->rowCount(); ++entry) {
        if (m_listModel->stepsOf(entry) == thing)
            return qobject_cast<StepsView*>(indexWidget(m_listModel->index(entry)));
    }
    return nullptr;
}

void ThingListView::placeStepsViews()
{
    if (!metrics(m_style).showsDetails)
        return;
    for (int entry = 0; entry < m_listModel->rowCount(); ++entry) {
        const auto id = m_listModel->stepsOf(entry);
        if (!id)
            continue;
        const QModelIndex index = m_listModel->index(entry);
        if (indexWidget(index))
            continue;
        const Thing* t = m_model.store().thing(*id);
        if (!t || !t->isLive())
            continue;
        auto* steps = new StepsView(m_model, *t, m_style);
        // Adding or deleting a step changes the view's height; the rows below move with it.
        steps->installEventFilter(this);
        connect(steps, &StepsView::typingEnded, this, [this] { setFocus(Qt::OtherFocusReason); });
        setIndexWidget(index, steps);
        scheduleDelayedItemsLayout();
    }
}

QSet<RowID> ThingListView::visibleSelection() const
{
    QSet<RowID> out;
    for (const RowID& id : m_model.selection()) {
        if (m_listModel->entryOf(id))
            out.insert(id);
    }
    return out;
}

bool ThingListView::hasArrowKeys() const
{
    return metrics(m_style).arrowKeys;
}

bool ThingListView::isListed(const RowID& id) const
{
    return m_listModel->entryOf(id).has_value();
}

Thing* ThingListView::listedThing(const RowID& id) const
{
    if (!id.isThing())
        return nullptr;
    const auto entry = m_listModel->entryOf(id);
    return entry ? m_listModel->thing(*entry) : nullptr;
}

CommandContext ThingListView::context(QSet<RowID> targets, std::optional<RowID> row)
{
    return CommandContext{m_model, std::move(targets), order(), {}, {}, this, std::move(row)};
}

std::vector<RowID> ThingListView::order() const
{
    return m_listModel->rowIDs();
}

void ThingListView::setAwaitingSnooze(bool awaiting)
{
    if (m_awaitingSnooze == awaiting)
        return;
    m_awaitingSnooze = awaiting;
    Q_EMIT awaitingSnoozeChanged(awaiting);
}

void ThingListView::snoozeSelection(SnoozeOption option)
{
    m_model.snooze(visibleSelection(), option, order());
    setAwaitingSnooze(false);
}

int ThingListView::endZoneHeight() const
{
    const bool shown = m_style == ListStyle::regular && !m_listModel->rowIDs().empty() &&
                       m_model.canReorder(m_listModel->source());
    return shown ? metrics(m_style).rowHeight : 0;
}

QSize ThingListView::sizeHint() const
{
    if (m_style == ListStyle::compact)
        return QListView::sizeHint();
    const int rows = m_listModel->rowCount() > 0 ? contentsSize().height() : 0;
    const int strip = m_addRow ? metrics(m_style).rowHeight : 0;
    return {QListView::sizeHint().width(), rows + endZoneHeight() + strip + 2 * frameWidth()};
}

QSize ThingListView::minimumSizeHint() const
{
    // Zero high while empty: the list keeps its keys even when the empty state stands in for it.
    return {QListView::minimumSizeHint().width(), 0};
}

void ThingListView::updateGeometries()
{
    QListView::updateGeometries();
    placeAddField(); // the end zone comes and goes with the rows
    const int height = sizeHint().height();
    if (height != m_hintedHeight) {
        m_hintedHeight = height;
        updateGeometry();
    }
}

void ThingListView::mirrorSelection()
{
    QItemSelection selection;
    for (const RowID& id : m_model.selection()) {
        if (const auto entry = m_listModel->entryOf(id))
            selection.select(m_listModel->index(*entry), m_listModel->index(*entry));
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (const auto primary = m_model.primarySelection()) {
        if (const auto entry = m_listModel->entryOf(*primary)) {
            const QModelIndex index = m_listModel->index(*entry);
            if (state() != QAbstractItemView::EditingState)
                selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
            scrollTo(index);
        }
    }
    viewport()->update();
}

bool ThingListView::moveSelection(int delta)
{
    const auto& rows = m_listModel->rowIDs();
    if (rows.empty())
        return false;
    const int last = int(rows.size()) - 1;
    int target = delta < 0 ? last : 0;
    if (const auto primary = m_model.primarySelection()) {
        const auto entry = m_listModel->entryOf(*primary);
        if (const auto at = entry ? m_listModel->rowIndex(*entry) : std::nullopt)
            target = std::clamp(*at + delta, 0, last);
    }
    m_model.select(rows[size_t(target)]);
    return true;
}

void ThingListView::keyPressEvent(QKeyEvent* event)
{
    if (handleKey(event))
        event->accept();
    else
        event->ignore();
}

bool ThingListView::handleKey(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (!m_awaitingSnooze)
            return false;
        setAwaitingSnooze(false);
        return true;
    }
    if (isTyping())
        return false;
    for (const Command& c : commands()) {
        if (c.scope != CommandScope::list || !c.matches(event->key(), event->modifiers()))
            continue;
        if (c.whileSnoozing && !m_awaitingSnooze)
            continue;
        CommandContext ctx = context(visibleSelection(), m_model.primarySelection());
        return runCommand(c, ctx);
    }
    return false;
}

bool ThingListView::beginEditing(const RowID& id)
{
    const auto entry = m_listModel->entryOf(id);
    if (!entry || (id.isThing() && !m_listModel->thing(*entry)))
        return false;
    stopAdding();
    m_model.select(id);
    const QModelIndex index = m_listModel->index(*entry);
    if (!edit(index, QAbstractItemView::AllEditTriggers, nullptr))
        return false;
    // Qt opens a line editor with its text selected; the caret belongs at the end instead.
    if (auto* editor = qobject_cast<QLineEdit*>(indexWidget(index)))
        editor->setCursorPosition(int(editor->text().size()));
    return true;
}

void ThingListView::makeAddRow()
{
    if (m_addRow || isDoneIsh())
        return;
    const ListMetrics m = metrics(m_style);
    m_addRow = new QWidget(this);
    m_addRow->setObjectName(QStringLiteral("addRow"));
    auto* layout = new QHBoxLayout(m_addRow);
    layout->setContentsMargins(m.padding, 0, m.padding, 0);
    // Less the line edit's own 2 px inset, so what is typed lines up with the titles above it.
    layout->setSpacing(m.itemSpacing - 2);
    auto* frame = new QWidget(m_addRow);
    frame->setFixedSize(22, 22);
    auto* frameLayout = new QHBoxLayout(frame);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    auto* plus = new PixelView(Pixels::plus(), 2, frame);
    plus->setForeground(Color::vornFaint());
    frameLayout->addWidget(plus, 0, Qt::AlignCenter);
    layout->addWidget(frame);
    m_addField = new QLineEdit(m_addRow);
    m_addField->setObjectName(QStringLiteral("addField"));
    m_addField->setPlaceholderText(tr("Add a thing"));
    m_addField->setFrame(false);
    m_addField->setMaxLength(int(kTitleLimit));
    QPalette pal = m_addField->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    m_addField->setPalette(pal);
    m_addField->setFont(uiFont(ThingDelegate::titlePixelSize(m_style)));
    m_addField->installEventFilter(this);
    layout->addWidget(m_addField, 1);
    connect(m_addField, &QLineEdit::returnPressed, this, [this] {
        // The field stays open so several things can be typed one after another.
        m_model.add(m_addField->text(), m_listModel->source());
        // setText, not clear(): the typed title is no longer the field's to undo, the add is.
        m_addField->setText(QString());
    });
    placeAddField();
    m_addRow->show();
    updateGeometries();
    Q_EMIT addingChanged(true);
}

void ThingListView::startAdding()
{
    if (isDoneIsh())
        return;
    setAwaitingSnooze(false);
    makeAddRow();
    m_addField->setFocus();
}

void ThingListView::commitDrafts()
{
    if (state() == QAbstractItemView::EditingState) {
        if (QWidget* editor = indexWidget(currentIndex())) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
    if (m_addField && !m_addField->text().trimmed().isEmpty()) {
        m_model.add(m_addField->text(), m_listModel->source());
        m_addField->clear();
    }
}

void ThingListView::stopAdding()
{
    if (!m_addRow)
        return;
    const bool hadFocus = m_addField && m_addField->hasFocus();
    if (m_style == ListStyle::compact && !isDoneIsh()) {
        // The compact list keeps its add row; only the draft goes.
        m_addField->clear();
    } else {
        m_addRow->hide();
        m_addRow->deleteLater();
        m_addRow = nullptr;
        m_addField = nullptr;
        placeAddField();
        updateGeometries();
        Q_EMIT addingChanged(false);
    }
    if (hadFocus)
        setFocus();
}

void ThingListView::placeAddField()
{
    // Below the rows, in this order: the add row while it is open, then the end drop zone. Both sit
    // outside the rows' viewport, so a long list scrolls under them and they stay in reach.
    const ListMetrics m = metrics(m_style);
    const int strip = m_addRow ? m.rowHeight : 0;
    const int endZone = endZoneHeight();
    if (viewportMargins().bottom() != strip + endZone)
        setViewportMargins(0, 0, 0, strip + endZone);
    const QRect r = contentsRect();
    if (m_endZone) {
        m_endZone->setGeometry(r.left(), r.bottom() + 1 - endZone, r.width(), endZone);
        m_endZone->setVisible(endZone > 0);
    }
    if (m_style == ListStyle::compact) {
        // As tall as the rows up to ten of them; only beyond that does the list scroll.
        const int rows = int(m_listModel->rowIDs().size());
        setVerticalScrollBarPolicy(rows > kCompactVisibleRows ? Qt::ScrollBarAsNeeded
                                                              : Qt::ScrollBarAlwaysOff);
        setFixedHeight(std::min(rows, kCompactVisibleRows) * m.rowHeight + strip + 2 * frameWidth());
    }
    if (m_addRow)
        m_addRow->setGeometry(r.left(), r.bottom() + 1 - endZone - m.rowHeight, r.width(), m.rowHeight);
}

bool ThingListView::event(QEvent* event)
{
    const bool handled = QListView::event(event);
    // A scroll area's resizeEvent() reports its viewport's size, not its own, and the viewport keeps
    // its size when the add row's strip is all that grew (an empty list starting to add): the strips
    // below the rows follow the view's own size.
    if (event->type() == QEvent::Resize)
        placeAddField();
    return handled;
}

bool ThingListView::undoneInTheModel(const QLineEdit& field, QEvent* event)
{
    // Undo and redo the field has nothing left of are the list's: right after an add, Ctrl+Z takes it back.
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    if (command(CommandId::undo).keys.contains(pressed) && !field.isUndoAvailable()) {
        m_model.undo();
        return true;
    }
    if (command(CommandId::redo).keys.contains(pressed) && !field.isRedoAvailable()) {
        m_model.redo();
        return true;
    }
    return false;
}

bool ThingListView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::LayoutRequest && qobject_cast<StepsView*>(watched))
        scheduleDelayedItemsLayout();
    if (watched == m_addField && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        stopAdding();
        return true;
    }
    if (watched == m_addField && event->type() == QEvent::KeyPress && undoneInTheModel(*m_addField, event))
        return true;
    return QListView::eventFilter(watched, event);
}

void ThingListView::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid()) {
        // Below the rows is the screen's: it opens the add row or offers its menu.
        event->ignore();
        return;
    }
    const auto id = m_listModel->rowID(index.row());
    if (!id || event->button() != Qt::LeftButton) {
        QListView::mousePressEvent(event);
        return;
    }
    const QRect rect = visualRect(index);
    const QPoint pos = event->position().toPoint();
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier));
    Thing* t = m_listModel->thing(index.row());
    const bool onBox = m_delegate->checkRect(rect).contains(pos);
    if (t && onBox) {
        m_model.toggleDone(*t);
        return;
    }
    if (const SharedThing* shared = m_listModel->sharedThing(index.row()); shared && onBox) {
        // A copy: the tick refreshes the rows, and with them the entry this points into.
        const SharedThing row = *shared;
        m_model.toggleExternal(row);
        return;
    }
    if (t && metrics(m_style).showsDetails && !t->steps().empty() &&
        m_delegate->chevronRect(rect).contains(pos)) {
        m_model.setExpanded(*t, !m_model.expanded().contains(t->id()));
        return;
    }
    // A click on a thing's title selects it and then renames it, once the double-click interval has
    // passed: this press may start a double click, which opens the note instead, or a drag.
    cancelTitleClick();
    if (t && plain && m_delegate->titleTextRect(rect, index).contains(pos)) {
        m_titleClicked = *id;
        m_titleClickTimer->start(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    }
    // A plain press on one of several selected rows, or a Ctrl press on a selected one, may begin a
    // drag of the whole selection: it must stay whole until the release shows no drag began.
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool mayDragSelection = !(mods & Qt::ShiftModifier) && m_model.selection().contains(*id) &&
                                  ((mods & Qt::ControlModifier) || visibleSelection().size() > 1);
    m_pendingClick.reset();
    if (mayDragSelection)
        m_pendingClick = PendingClick{*id, mods};
    else
        m_model.click(*id, mods, m_listModel->source(), true);
    setFocus(Qt::MouseFocusReason);
    Q_EMIT rowPressed();
    // The base class only records the press here, so a drag can start from it.
    QListView::mousePressEvent(event);
}

void ThingListView::mouseReleaseEvent(QMouseEvent* event)
{
    if (const auto pending = std::exchange(m_pendingClick, std::nullopt))
        m_model.click(pending->id, pending->modifiers, m_listModel->source(), true);
    QListView::mouseReleaseEvent(event);
}

void ThingListView::cancelTitleClick()
{
    m_titleClickTimer->stop();
    m_titleClicked.reset();
}

void ThingListView::renameAfterTitleClick()
{
    const auto id = std::exchange(m_titleClicked, std::nullopt);
    // Only if nothing else happened since: the row is still the one selected and not being renamed,
    // and the button is up (a press still held is a long press or a drag about to start, not a click).
    if (id && !(QGuiApplication::mouseButtons() & Qt::LeftButton) &&
        state() != QAbstractItemView::EditingState && m_model.selection() == QSet<RowID>{*id})
        beginEditing(*id);
}

void ThingListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    cancelTitleClick();
    m_pendingClick.reset();
    const QModelIndex index = indexAt(event->position().toPoint());
    const auto id = index.isValid() ? m_listModel->rowID(index.row()) : std::nullopt;
    if (!id)
        return;
    if (id->isThing())
        m_model.setEditingNote(NoteTarget::thing(*id->thingID()));
    else if (m_model.sharesWithPlanner())
        m_model.setEditingNote(NoteTarget::shared(*id->sharedID()));
}

std::unique_ptr<QMenu> ThingListView::contextMenu(int entry)
{
    const auto id = m_listModel->rowID(entry);
    if (!id)
        return nullptr;
    // A click inside the selection acts on all of it; elsewhere only on the clicked row.
    QSet<RowID> targets = m_model.selectedIDs(m_listModel->source(), true);
    if (!targets.contains(*id))
        targets = {*id};
    const CommandContext menuContext = context(targets, *id);
    auto menu = std::make_unique<QMenu>(this);
    const auto addItem = [this, &menuContext](QMenu* into, const Command& c) {
        into->addAction(c.labelFor(menuContext), this,
                        [ctx = menuContext, id = c.id]() mutable { runCommand(command(id), ctx); });
    };
    for (const std::optional<CommandId>& item : rowMenu(id->isShared())) {
        if (!item) {
            menu->addSeparator();
            continue;
        }
        const Command& c = command(*item);
        if (c.shown && !c.shown(menuContext))
            continue;
        if (c.submenu.empty()) {
            addItem(menu.get(), c);
            continue;
        }
        QMenu* sub = menu->addMenu(c.labelFor(menuContext));
        for (CommandId subItem : c.submenu)
            addItem(sub, command(subItem));
    }
    return menu;
}

void ThingListView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(viewport()->mapFrom(this, event->pos()));
    auto menu = index.isValid() ? contextMenu(index.row()) : nullptr;
    if (!menu) {
        event->ignore();
        return;
    }
    menu->exec(event->globalPos());
}

void ThingListView::startDrag(Qt::DropActions)
{
    // The press became a drag: the selection it left whole is what moves, and nothing is renamed.
    m_pendingClick.reset();
    cancelTitleClick();
    const auto id = m_listModel->rowID(currentIndex().row());
    if (!id)
        return;
    auto* mime = new QMimeData;
    mime->setText(m_model.beginDrag(*id));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::MoveAction);
}

std::optional<DropSpot> ThingListView::dropSpotAt(const QPoint& pos) const
{
    const QModelIndex index = indexAt(pos);
    if (index.isValid()) {
        const auto row = m_listModel->rowIndex(index.row());
        if (!row)
            return std::nullopt;
        return dropSpotInRow(*row, pos.y() - visualRect(index).top(), metrics(m_style).rowHeight);
    }
    const int count = m_listModel->rowCount();
    const int lastBottom = count > 0 ? visualRect(m_listModel->index(count - 1)).bottom() : -1;
    if (m_style == ListStyle::regular && pos.y() > lastBottom && m_model.canReorder(m_listModel->source()))
        return DropSpot::endOfList();
    return std::nullopt;
}

void ThingListView::showDropTarget(std::optional<DropSpot> spot)
{
    if (spot == m_dropTarget)
        return;
    m_dropTarget = spot;
    viewport()->update();
}

bool ThingListView::performDrop(const DropSpot& spot)
{
    const int before = insertionIndex(spot, int(m_listModel->rowIDs().size()));
    m_dropTarget.reset();
    viewport()->update();
    return m_model.drop(before, m_listModel->source());
}

void ThingListView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    m_dropTarget = dropSpotAt(event->position().toPoint());
    viewport()->update();
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void ThingListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    const auto spot = dropSpotAt(event->position().toPoint());
    if (spot != m_dropTarget) {
        m_dropTarget = spot;
        viewport()->update();
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void ThingListView::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_dropTarget.reset();
    viewport()->update();
    event->accept();
}

void ThingListView::dropEvent(QDropEvent* event)
{
    const auto spot = dropSpotAt(event->position().toPoint());
    if (!spot || !event->mimeData()->hasText()) {
        m_dropTarget.reset();
        viewport()->update();
        event->ignore();
        return;
    }
    const bool moved = performDrop(*spot);
    event->setDropAction(Qt::MoveAction);
    event->setAccepted(moved);
}

void ThingListView::paintEvent(QPaintEvent* event)
{
    QListView::paintEvent(event);
    if (!m_dropTarget)
        return;
    const ListMetrics m = metrics(m_style);
    int y = -1;
    if (m_dropTarget->kind == DropSpot::Kind::endOfList) {
        const int count = m_listModel->rowCount();
        // On the last entry's own bottom edge: the viewport ends there, and the zone below may be
        // parted from the rows by the add row.
        y = count > 0 ? visualRect(m_listModel->index(count - 1)).bottom() - 1 : 0;
    } else if (size_t(m_dropTarget->index) < m_listModel->rowIDs().size()) {
        const auto entry = m_listModel->entryOf(m_listModel->rowIDs()[size_t(m_dropTarget->index)]);
        if (entry) {
            const QRect rect = visualRect(m_listModel->index(*entry));
            y = m_dropTarget->after ? rect.top() + m.rowHeight - 2 : rect.top();
        }
    }
    if (y < 0)
        return;
    QPainter painter(viewport());
    painter.fillRect(QRect(m.padding, y, viewport()->width() - 2 * m.padding, 2),
                     Color::vornText().resolved(palette()));
}

} // namespace vorn

#pragma once

#include "model/AppModel.h"
#include "model/Commands.h"
#include "ui/list/DropPosition.h"
#include "ui/list/ListMetrics.h"

#include <QLineEdit>
#include <QListView>
#include <QPointer>

#include <memory>
#include <optional>

class QMenu;
class QTimer;

namespace vorn {

class EndDropZone;
class StepsView;
class ThingDelegate;
class ThingListModel;

// The keyboard-driven list of one source. It keeps only view state (the add field, the row being
// renamed, the drop target, a pending snooze choice); data changes and the selection go through AppModel.
// Its keys and its context menu are the list commands of the command table.
class ThingListView : public QListView, public CommandList {
    Q_OBJECT

public:
    ThingListView(AppModel& model, Source source, ListStyle style, QWidget* parent = nullptr);

    ThingListModel* listModel() const { return m_listModel; }
    ListStyle listStyle() const { return m_style; }
    const Source& source() const override;
    // Showing another source drops every piece of view state.
    void setSource(const Source& source);

    bool awaitingSnooze() const override { return m_awaitingSnooze; }
    void setAwaitingSnooze(bool awaiting) override;
    // What the digit keys and the snooze bar do: snooze the visible selection, then stop asking.
    void snoozeSelection(SnoozeOption option);
    // The regular list is as tall as its rows, add row and end drop zone, so what sits below it
    // follows the last row; with less room it scrolls.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The compact list always has its add row; the regular one only after N or the new-thing command.
    bool isAdding() const { return m_addField != nullptr; }
    QLineEdit* addField() const { return m_addField; }
    // True while a text field of the list has the keys; then only Escape is a list key.
    bool isTyping() const;
    bool isEditingTitle() const { return state() == QAbstractItemView::EditingState; }

    void startAdding() override;
    // What is typed and not yet entered (the add field's text, a title being renamed) goes in now, as
    // Return would: the app is about to quit.
    void commitDrafts();
    // Opens the inline title editor of a local thing or a family row.
    bool beginEditing(const RowID& id) override;
    bool isCompact() const override { return m_style == ListStyle::compact; }
    bool hasArrowKeys() const override;
    bool isListed(const RowID& id) const override;
    Thing* listedThing(const RowID& id) const override;
    bool moveSelection(int delta) override;
    // The steps view under an expanded thing; null while the thing is folded or not listed.
    StepsView* stepsView(RecordId thing) const;

    const std::optional<DropSpot>& dropTarget() const { return m_dropTarget; }
    void showDropTarget(std::optional<DropSpot> spot);
    // The spot a drop at `pos` (viewport coordinates) would land on; none outside rows and end zone.
    std::optional<DropSpot> dropSpotAt(const QPoint& pos) const;
    bool performDrop(const DropSpot& spot);

    // The menu a right click on the row at `entry` shows; none for a header. The caller owns it.
    std::unique_ptr<QMenu> contextMenu(int entry);

Q_SIGNALS:
    // A row was clicked: the focus panel brings itself forward.
    void rowPressed();
    void awaitingSnoozeChanged(bool awaiting);
    void addingChanged(bool adding);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // An undo or redo key in the add field that has nothing of its own to take back goes to the model.
    bool undoneInTheModel(const QLineEdit& field, QEvent* event);
    bool handleKey(QKeyEvent* event);
    void mirrorSelection();
    // Puts a steps view on every steps entry that has none yet.
    void placeStepsViews();
    void stopAdding();
    void cancelTitleClick();
    void renameAfterTitleClick();
    void updateGeometries() override;
    int endZoneHeight() const;
    void makeAddRow();
    void placeAddField();
    bool isDoneIsh() const;
    QSet<RowID> visibleSelection() const;
    std::vector<RowID> order() const;
    // A command run from this list, on `targets`, about `row`.
    CommandContext context(QSet<RowID> targets, std::optional<RowID> row);

    AppModel& m_model;
    ListStyle m_style;
    ThingListModel* m_listModel = nullptr;
    ThingDelegate* m_delegate = nullptr;
    EndDropZone* m_endZone = nullptr; // regular style only
    QPointer<QWidget> m_addRow;       // the plus glyph and the add field
    QPointer<QLineEdit> m_addField;
    bool m_awaitingSnooze = false;
    std::optional<DropSpot> m_dropTarget;
    int m_hintedHeight = -1;
    // A click on the selected row's title, waiting to see whether a second click makes it a double click.
    std::optional<RowID> m_titleClicked;
    QTimer* m_titleClickTimer = nullptr;
    // A press inside the selection, which may start dragging all of it: its click waits for the release.
    struct PendingClick {
        RowID id;
        Qt::KeyboardModifiers modifiers;
    };
    std::optional<PendingClick> m_pendingClick;
};

} // namespace vorn

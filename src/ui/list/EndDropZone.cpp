#include "ui/list/EndDropZone.h"

#include "ui/list/ThingListView.h"

#include <QDropEvent>
#include <QMimeData>

namespace vorn {

EndDropZone::EndDropZone(ThingListView& view) : QWidget(&view), m_view(view)
{
    setObjectName(QStringLiteral("endDropZone"));
    setAcceptDrops(true);
}

void EndDropZone::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void EndDropZone::dragMoveEvent(QDragMoveEvent* event)
{
    if (!event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    m_view.showDropTarget(DropSpot::endOfList());
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void EndDropZone::dragLeaveEvent(QDragLeaveEvent* event)
{
    if (m_view.dropTarget() == DropSpot::endOfList())
        m_view.showDropTarget(std::nullopt);
    event->accept();
}

void EndDropZone::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasText()) {
        m_view.showDropTarget(std::nullopt);
        event->ignore();
        return;
    }
    const bool moved = m_view.performDrop(DropSpot::endOfList());
    event->setDropAction(Qt::MoveAction);
    event->setAccepted(moved);
}

} // namespace vorn

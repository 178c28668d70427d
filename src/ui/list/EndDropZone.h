#pragma once

#include <QWidget>

namespace vorn {

class ThingListView;

// The strip after the last row (and after the add row while it is open) that takes a dragged row to
// the end of the list. It lies outside the rows' viewport, so it takes its drags itself.
class EndDropZone : public QWidget {
public:
    explicit EndDropZone(ThingListView& view);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    ThingListView& m_view;
};

} // namespace vorn

#pragma once

#include "model/Entities.h"

#include <QWidget>

namespace vorn {

class AppModel;
class ListScreenHeader;
class ThemedLabel;
class ThingList;

// One source on screen: header, the thing list, the hint line. A click on the screen around the rows
// asks the list for its add row; a right click offers "New Thing" and "Paste". Done-ish takes neither.
class ListScreen : public QWidget {
    Q_OBJECT

public:
    ListScreen(AppModel& model, const Source& source, QWidget* parent = nullptr);
    ThingList* list() const { return m_list; }
    ListScreenHeader* header() const { return m_header; }
    QString hint() const;
    const Source& source() const { return m_source; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool takesAdds() const { return m_source != Source::doneIsh; }
    AppModel& m_model;
    Source m_source;
    ListScreenHeader* m_header;
    ThingList* m_list;
    ThemedLabel* m_hint;
};

} // namespace vorn

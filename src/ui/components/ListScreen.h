#pragma once

#include "model/Entities.h"

#include <QWidget>

class QVBoxLayout;

namespace vorn {

class AppModel;
class ListScreenHeader;
class ThemedLabel;

// One source on screen: header, the thing list, the hint line. A click on the screen around the rows
// asks the list for its add row; a right click offers "New Thing" and "Paste". Done-ish takes neither.
class ListScreen : public QWidget {
    Q_OBJECT

public:
    ListScreen(AppModel& model, const Source& source, QWidget* parent = nullptr);
    // Puts the thing list between header and hint; the screen takes ownership. Replaces an earlier one.
    void setList(QWidget* list);
    QWidget* list() const { return m_list; }
    ListScreenHeader* header() const { return m_header; }
    QString hint() const;
    const Source& source() const { return m_source; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool takesAdds() const { return m_source != Source::doneIsh; }
    AppModel& m_model;
    Source m_source;
    QVBoxLayout* m_layout;
    ListScreenHeader* m_header;
    QWidget* m_list;
    ThemedLabel* m_hint;
};

} // namespace vorn

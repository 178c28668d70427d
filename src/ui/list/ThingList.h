#pragma once

#include "model/Entities.h"
#include "ui/list/ListMetrics.h"

#include <QWidget>

class QVBoxLayout;

namespace vorn {

class AppModel;
class DoneLine;
class EmptyListView;
class SnoozeBar;
class ThingListView;

// One source's list as it stands on a screen: the rows (or what an empty list says instead), the
// done line once Today is all done, and the snooze bar over the bottom while a snooze choice is awaited.
class ThingList : public QWidget {
    Q_OBJECT

public:
    ThingList(AppModel& model, const Source& source, ListStyle style, QWidget* parent = nullptr);

    ThingListView* view() const { return m_view; }
    EmptyListView* emptyView() const { return m_empty; }
    DoneLine* doneLine() const { return m_doneLine; }
    // Null while no snooze choice is awaited.
    SnoozeBar* snoozeBar() const { return m_snoozeBar; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void showSnoozeBar(bool show);
    void placeSnoozeBar();
    bool allRowsDone() const;

    AppModel& m_model;
    ListStyle m_style;
    ThingListView* m_view;
    EmptyListView* m_empty = nullptr;
    DoneLine* m_doneLine;
    QWidget* m_filler = nullptr; // keeps the rows at the top while they are shown
    SnoozeBar* m_snoozeBar = nullptr;
};

} // namespace vorn

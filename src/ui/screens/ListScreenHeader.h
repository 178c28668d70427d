#pragma once

#include "model/Entities.h"

#include <QWidget>

#include <vector>

namespace vorn {

class AppModel;
class Schedule;
class Thing;
class ElidedLabel;
class ThemedLabel;

// The top of a list screen: the list's title in the pixel font and a one-line summary of it, kept
// current as things and the day change.
class ListScreenHeader : public QWidget {
    Q_OBJECT

public:
    ListScreenHeader(AppModel& model, const Source& source, QWidget* parent = nullptr);
    QString title() const;
    // The title as drawn: cut with "…" when the window is narrower than the name.
    QString shownTitle() const;
    QString summary() const;

    static QString summaryText(const AppModel& model, const Source& source);
    static QString hintText(const Source& source);
    // The day as weekday, day number and month, in the order and words of the locale.
    static QString dayText(const QDateTime& now, const Schedule& schedule);

private:
    void refresh();
    AppModel& m_model;
    Source m_source;
    ElidedLabel* m_title;
    ThemedLabel* m_summary;
};

} // namespace vorn

#pragma once

#include "model/Entities.h"

#include <QString>

namespace vorn {

class AppModel;

// Whether a thing shows in a list: it belongs there, or lingers in the list on screen, and matches the
// search. Worked out once per pass over the things.
class ListFilter {
public:
    enum class Search { applies, ignored };
    ListFilter(const AppModel& model, const Source& source, Search search = Search::applies);
    bool shows(const Thing& thing) const;

private:
    const AppModel& m_model;
    Source m_source;
    bool m_lingerHere = false;
    QString m_needle; // the folded search text; empty when not searching
};

} // namespace vorn

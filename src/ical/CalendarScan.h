#pragma once

// What the reader learns from the raw lines before libical reads them: where each item begins, which
// items hold a line too long to read, and where one calendar may be cut into parts read side by side.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>

#include <vector>

namespace vorn::ical::detail {

struct TextScan {
    // BEGIN lines (1-based) by component name in upper case: the n-th BEGIN:VTODO is the n-th VTODO.
    QHash<QByteArray, QList<int>> begins;
    // BEGIN lines of the components that hold a logical (unfolded) line longer than any property may be.
    QSet<int> tooBig;
    // The items directly inside the one VCALENDAR, when the text is that and nothing else, every BEGIN
    // with its END: only then can it be cut between two items. Empty otherwise.
    struct Block {
        qsizetype begin;
        qsizetype end; // just after the END line
        bool zone;     // a VTIMEZONE, copied into every part so each part's times find their zone
    };
    std::vector<Block> blocks;
};

TextScan scanText(const QByteArray& text);

// One part of a cut calendar: a VCALENDAR of its own items, with the zones of the other parts copied
// before (those that came earlier) and after (those that came later) its own, so it has every zone.
struct TextPart {
    QByteArray text;
    int items = 0; // its own, not counting zones
    int zones = 0; // its own and the copies
};

// The text as up to `parts` calendars of about equal size, cut between items; one part (the text
// itself) when it can't be cut.
std::vector<TextPart> splitText(const QByteArray& text, const TextScan& scan, int parts);

} // namespace vorn::ical::detail

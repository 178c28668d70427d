#pragma once

#include "transfer/TransferThing.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace vorn {

// One thing as an export writes it and an import reads it back: what the lists show of it, none of
// the app's bookkeeping (ids, sort keys, note files).
struct ExchangeThing {
    QString title;
    bool done = false;
    std::optional<QDate> doneOn;
    std::optional<QDateTime> until; // local wake time; absent: not snoozed
    bool someday = false;
    int zs = 0;
    std::vector<TransferStep> steps;
    QString note;  // the note's plain copy
    QString group; // the Later section it is shown under; written, not read
    friend bool operator==(const ExchangeThing&, const ExchangeThing&) = default;
};

enum class ExchangeListKind { today, later, doneIsh, pile };

struct ExchangeList {
    ExchangeListKind kind = ExchangeListKind::today;
    QString name; // the heading: "Today", "Later", "Done-ish" or the list's own name
    std::vector<ExchangeThing> things;
    int line = 0; // where an import found the heading (1-based; 0: no heading, the file's start)
    friend bool operator==(const ExchangeList&, const ExchangeList&) = default;
};

// The built-in lists' headings, as the window titles them.
QString exchangeHeading(ExchangeListKind kind);

} // namespace vorn

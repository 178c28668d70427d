#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <optional>
#include <vector>

namespace vorn {

// One step of a thing in transit.
struct TransferStep {
    QString title;
    bool done = false;
    friend bool operator==(const TransferStep&, const TransferStep&) = default;
};

// One thing in transit: what copy, paste and the planner hand-off carry.
struct TransferThing {
    QString title;
    bool done = false;
    qint64 zs = 0;
    std::vector<TransferStep> steps;
    QString note; // the note's plain text
    std::optional<QString> link;
    std::optional<QByteArray> rtf; // the note file's contents
    friend bool operator==(const TransferThing&, const TransferThing&) = default;
};

// The transfer JSON object of one thing. Only present optional members are written.
QJsonValue toJson(const TransferThing& thing);
// A thing read back; nothing when a required member is missing or any member has the wrong type.
std::optional<TransferThing> transferThingFromJson(const QJsonValue& value);

} // namespace vorn

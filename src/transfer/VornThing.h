#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <optional>
#include <vector>

namespace vorn {

// One step of a thing in transit.
struct VornStep {
    QString title;
    bool done = false;
    friend bool operator==(const VornStep&, const VornStep&) = default;
};

// One thing in transit: what copy, paste and the planner hand-off carry.
struct VornThing {
    QString title;
    bool done = false;
    qint64 zs = 0;
    std::vector<VornStep> steps;
    QString note; // the note's plain text
    std::optional<QString> link;
    std::optional<QByteArray> rtf; // the note file's contents
    friend bool operator==(const VornThing&, const VornThing&) = default;
};

// The transfer JSON object of one thing. Only present optional members are written.
QJsonValue toJson(const VornThing& thing);
// A thing read back; nothing when a required member is missing or any member has the wrong type.
std::optional<VornThing> vornThingFromJson(const QJsonValue& value);

} // namespace vorn

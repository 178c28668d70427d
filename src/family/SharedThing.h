#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace vorn {

// One step inside a family row.
struct SharedStep {
    QString title;
    bool done = false;
    friend bool operator==(const SharedStep&, const SharedStep&) = default;
};

// One row of the family store, as every application of the family sees it.
struct SharedThing {
    QString id;
    QString title;
    bool done = false;
    std::optional<QString> day; // ISO day it is planned for
    int zs = 0;
    std::vector<SharedStep> steps;
    QString note;
    std::optional<QString> noteID;
    std::optional<QString> link;
    QString sourceApp;
    double updatedAt = 0;
    // The steps column held something we can't read: `steps` is then empty and says nothing.
    bool stepsUnreadable = false;
    friend bool operator==(const SharedThing&, const SharedThing&) = default;
};

} // namespace vorn

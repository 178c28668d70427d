#pragma once

#include "model/AppModel.h"

#include <QString>

#include <optional>

namespace vorn {

// The source a list name on the command line means: a built-in list or a pile, by lower-cased name.
std::optional<Source> sourceNamed(const AppModel& model, const QString& name);

// The rows of a source as "- [ ] title" / "- [x] title" lines.
QString renderList(const AppModel& model, const Source& source);

} // namespace vorn

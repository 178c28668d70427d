#pragma once

#include "model/Entities.h"

#include <QString>

namespace vorn {

// The header's short count for a source: `count` is the model's count there, `listsRows` whether the
// list still shows rows (done ones linger on Today, so a Today with nothing left can read "all done").
QString focusCountText(const Source& source, int count, bool listsRows);

} // namespace vorn

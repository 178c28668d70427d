#pragma once

#include "store/Timers.h"

namespace vorn {

// How long the model's timers wait; tests shorten them.
struct ModelIntervals {
    int toastMSecs = 3000;
    int dragResetMSecs = 30000;
    int clockMSecs = 30000;
    int syncDebounceMSecs = 400;
    // After a failed write (the store's save, a note's file, the family mirror): the first retry, doubled
    // after each further failure up to the longest wait.
    int saveRetryMSecs = 2000;
    int saveRetryMaxMSecs = 60000;
};

} // namespace vorn

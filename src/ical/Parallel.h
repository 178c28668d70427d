#pragma once

#include <algorithm>
#include <thread>
#include <vector>

namespace vorn::ical::detail {

// How many parts a big calendar is read or written in: one for each core, a few at most.
inline int partsForCores()
{
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

// Runs work(0) … work(n - 1), the first on this thread and each other on a thread of its own; returns
// when all are done.
template <typename Work> void inParallel(int n, const Work& work)
{
    std::vector<std::thread> others;
    others.reserve(std::size_t(std::max(0, n - 1)));
    for (int i = 1; i < n; ++i)
        others.emplace_back([&work, i] { work(i); });
    if (n > 0)
        work(0);
    for (std::thread& t : others)
        t.join();
}

} // namespace vorn::ical::detail

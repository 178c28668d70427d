#pragma once

#include <QString>

namespace vorn::test {

// A SQLite VFS over the platform's own that fails chosen calls, so a test can break the disk at any
// write, sync or open of a scenario. Installed as the default VFS while a FaultVfs::Installed lives, it
// reaches every connection opened meanwhile (the local store's and the family store's alike) without
// anything in the code under test knowing. Calls are counted on every thread; only calls on files whose
// path contains the filter (all files when it is empty) are counted and can fail.
class FaultVfs {
public:
    enum class Op { Write, Sync, Open };

    struct Fault {
        Op op = Op::Write;
        int nth = 1;             // the first failing call, counted from 1 since arm()
        bool sticky = false;     // every call from the nth on fails, until clear()
        int code = 0;            // the SQLite result; 0 picks the usual one for the operation
        QString fileFilter = {}; // only files whose path contains this
    };

    // Registers the shim as the default VFS for its lifetime, then puts the previous default back.
    class Installed {
    public:
        Installed();
        ~Installed();
        Installed(const Installed&) = delete;
        Installed& operator=(const Installed&) = delete;
    };

    // Counts from zero again and fails as described; the counts of other operations go on counting.
    static void arm(const Fault& fault);
    // No more failures; the counts stay.
    static void clear();
    // Zeroes the counts and counts only calls on files matching the filter.
    static void resetCounts(const QString& fileFilter = {});
    static int count(Op op);
    // How many calls failed since the last arm().
    static int failures();
};

} // namespace vorn::test

#include "faults/FaultVfs.h"

#include <QByteArray>

#include <sqlite3.h>

#include <array>
#include <cstring>
#include <mutex>

namespace vorn::test {

namespace {

struct State {
    std::mutex mutex;
    std::array<int, 3> counts{};
    QByteArray filter;
    bool armed = false;
    FaultVfs::Fault fault;
    int failures = 0;
};

State& state()
{
    static State s;
    return s;
}

int defaultCode(FaultVfs::Op op)
{
    switch (op) {
    case FaultVfs::Op::Write:
        return SQLITE_IOERR_WRITE;
    case FaultVfs::Op::Sync:
        return SQLITE_IOERR_FSYNC;
    case FaultVfs::Op::Open:
        return SQLITE_CANTOPEN;
    }
    return SQLITE_IOERR;
}

// Counts the call and says which result to fake, or SQLITE_OK to let it through.
int tally(FaultVfs::Op op, const char* name)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.filter.isEmpty() && !(name && std::strstr(name, s.filter.constData())))
        return SQLITE_OK;
    const int n = ++s.counts[size_t(op)];
    if (!s.armed || s.fault.op != op)
        return SQLITE_OK;
    if (n == s.fault.nth || (s.fault.sticky && n > s.fault.nth)) {
        ++s.failures;
        return s.fault.code ? s.fault.code : defaultCode(op);
    }
    return SQLITE_OK;
}

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;

// Our file, followed in the same allocation by the real VFS's.
struct FaultFile {
    sqlite3_file base;
    const char* name; // SQLite keeps it valid until the file is closed
    sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

FaultFile* ff(sqlite3_file* f)
{
    return reinterpret_cast<FaultFile*>(f);
}

const sqlite3_io_methods* realMethods(sqlite3_file* f)
{
    return ff(f)->real()->pMethods;
}

const sqlite3_io_methods kMethods = {
    3,
    [](sqlite3_file* f) { return realMethods(f)->xClose(ff(f)->real()); },
    [](sqlite3_file* f, void* p, int n, sqlite3_int64 o) {
        return realMethods(f)->xRead(ff(f)->real(), p, n, o);
    },
    [](sqlite3_file* f, const void* p, int n, sqlite3_int64 o) {
        if (const int rc = tally(FaultVfs::Op::Write, ff(f)->name))
            return rc;
        return realMethods(f)->xWrite(ff(f)->real(), p, n, o);
    },
    [](sqlite3_file* f, sqlite3_int64 size) { return realMethods(f)->xTruncate(ff(f)->real(), size); },
    [](sqlite3_file* f, int flags) {
        if (const int rc = tally(FaultVfs::Op::Sync, ff(f)->name))
            return rc;
        return realMethods(f)->xSync(ff(f)->real(), flags);
    },
    [](sqlite3_file* f, sqlite3_int64* size) { return realMethods(f)->xFileSize(ff(f)->real(), size); },
    [](sqlite3_file* f, int l) { return realMethods(f)->xLock(ff(f)->real(), l); },
    [](sqlite3_file* f, int l) { return realMethods(f)->xUnlock(ff(f)->real(), l); },
    [](sqlite3_file* f, int* out) { return realMethods(f)->xCheckReservedLock(ff(f)->real(), out); },
    [](sqlite3_file* f, int op, void* arg) { return realMethods(f)->xFileControl(ff(f)->real(), op, arg); },
    [](sqlite3_file* f) { return realMethods(f)->xSectorSize(ff(f)->real()); },
    [](sqlite3_file* f) { return realMethods(f)->xDeviceCharacteristics(ff(f)->real()); },
    [](sqlite3_file* f, int page, int size, int extend, void volatile** out) {
        return realMethods(f)->xShmMap(ff(f)->real(), page, size, extend, out);
    },
    [](sqlite3_file* f, int offset, int n, int flags) {
        return realMethods(f)->xShmLock(ff(f)->real(), offset, n, flags);
    },
    [](sqlite3_file* f) { realMethods(f)->xShmBarrier(ff(f)->real()); },
    [](sqlite3_file* f, int deleteFlag) { return realMethods(f)->xShmUnmap(ff(f)->real(), deleteFlag); },
    [](sqlite3_file* f, sqlite3_int64 o, int n, void** out) {
        return realMethods(f)->xFetch(ff(f)->real(), o, n, out);
    },
    [](sqlite3_file* f, sqlite3_int64 o, void* p) { return realMethods(f)->xUnfetch(ff(f)->real(), o, p); },
};

int faultOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    FaultFile* f = ff(file);
    f->base.pMethods = nullptr;
    f->name = name;
    if (const int rc = tally(FaultVfs::Op::Open, name))
        return rc;
    const int rc = g_real->xOpen(g_real, name, f->real(), flags, outFlags);
    // SQLite closes a file whose methods are set even when the open failed, so mirror the real one.
    if (f->real()->pMethods)
        f->base.pMethods = &kMethods;
    return rc;
}

void build()
{
    if (g_real)
        return;
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs = *g_real;
    g_vfs.zName = "vorn-fault";
    g_vfs.szOsFile = int(sizeof(FaultFile)) + g_real->szOsFile;
    g_vfs.pNext = nullptr;
    g_vfs.xOpen = faultOpen;
    g_vfs.xDelete = [](sqlite3_vfs*, const char* n, int sync) { return g_real->xDelete(g_real, n, sync); };
    g_vfs.xAccess = [](sqlite3_vfs*, const char* n, int flags, int* out) {
        return g_real->xAccess(g_real, n, flags, out);
    };
    g_vfs.xFullPathname = [](sqlite3_vfs*, const char* n, int size, char* out) {
        return g_real->xFullPathname(g_real, n, size, out);
    };
    g_vfs.xDlOpen = [](sqlite3_vfs*, const char* n) { return g_real->xDlOpen(g_real, n); };
    g_vfs.xDlError = [](sqlite3_vfs*, int n, char* out) { g_real->xDlError(g_real, n, out); };
    g_vfs.xDlSym = [](sqlite3_vfs*, void* h, const char* s) { return g_real->xDlSym(g_real, h, s); };
    g_vfs.xDlClose = [](sqlite3_vfs*, void* h) { g_real->xDlClose(g_real, h); };
    g_vfs.xRandomness = [](sqlite3_vfs*, int n, char* out) { return g_real->xRandomness(g_real, n, out); };
    g_vfs.xSleep = [](sqlite3_vfs*, int us) { return g_real->xSleep(g_real, us); };
    g_vfs.xCurrentTime = [](sqlite3_vfs*, double* out) { return g_real->xCurrentTime(g_real, out); };
    g_vfs.xGetLastError = [](sqlite3_vfs*, int n, char* out) {
        return g_real->xGetLastError(g_real, n, out);
    };
    g_vfs.xCurrentTimeInt64 = [](sqlite3_vfs*, sqlite3_int64* out) {
        return g_real->xCurrentTimeInt64(g_real, out);
    };
    g_vfs.xSetSystemCall = [](sqlite3_vfs*, const char* n, sqlite3_syscall_ptr p) {
        return g_real->xSetSystemCall(g_real, n, p);
    };
    g_vfs.xGetSystemCall = [](sqlite3_vfs*, const char* n) { return g_real->xGetSystemCall(g_real, n); };
    g_vfs.xNextSystemCall = [](sqlite3_vfs*, const char* n) { return g_real->xNextSystemCall(g_real, n); };
}

} // namespace

FaultVfs::Installed::Installed()
{
    build();
    sqlite3_vfs_register(&g_vfs, 1);
    clear();
    resetCounts();
}

FaultVfs::Installed::~Installed()
{
    clear();
    // Connections still open keep our VFS, which lives on; new ones get the platform's again.
    sqlite3_vfs_register(g_real, 1);
}

void FaultVfs::arm(const Fault& fault)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.counts = {};
    s.filter = fault.fileFilter.toUtf8();
    s.fault = fault;
    s.armed = true;
    s.failures = 0;
}

void FaultVfs::clear()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.armed = false;
}

void FaultVfs::resetCounts(const QString& fileFilter)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.counts = {};
    s.filter = fileFilter.toUtf8();
}

int FaultVfs::count(Op op)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.counts[size_t(op)];
}

int FaultVfs::failures()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.failures;
}

} // namespace vorn::test

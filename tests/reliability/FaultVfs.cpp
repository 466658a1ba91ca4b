#include "FaultVfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace reliability {

namespace {

FaultPlan g_plan;
long g_calls = 0;
sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;

struct FaultFile {
    sqlite3_file base;
    sqlite3_file* real;
    const char* name;
};

void note(const char* op, const char* name, const char* detail)
{
    if (!g_plan.log.empty()) {
        if (FILE* f = std::fopen(g_plan.log.c_str(), "a")) {
            std::fprintf(f, "%s %s %s\n", op, name ? name : "(temp)", detail);
            std::fclose(f);
        }
    }
    if (g_plan.op.empty() || (g_plan.op != "any" && g_plan.op != op))
        return;
    if (++g_calls == g_plan.at)
        std::raise(SIGKILL); // before the call: it never happens
}

sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<FaultFile*>(f)->real; }
const char* nameOf(sqlite3_file* f) { return reinterpret_cast<FaultFile*>(f)->name; }

int xClose(sqlite3_file* f) { return real(f)->pMethods->xClose(real(f)); }
int xRead(sqlite3_file* f, void* p, int n, sqlite3_int64 off) { return real(f)->pMethods->xRead(real(f), p, n, off); }
int xWrite(sqlite3_file* f, const void* p, int n, sqlite3_int64 off)
{
    char detail[64];
    std::snprintf(detail, sizeof detail, "%d@%lld", n, static_cast<long long>(off));
    note("write", nameOf(f), detail);
    return real(f)->pMethods->xWrite(real(f), p, n, off);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 size)
{
    note("truncate", nameOf(f), "");
    return real(f)->pMethods->xTruncate(real(f), size);
}
int xSync(sqlite3_file* f, int flags)
{
    note("sync", nameOf(f), (flags & 0x0f) == SQLITE_SYNC_FULL ? "full" : "normal");
    return real(f)->pMethods->xSync(real(f), flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* size) { return real(f)->pMethods->xFileSize(real(f), size); }
int xLock(sqlite3_file* f, int l) { return real(f)->pMethods->xLock(real(f), l); }
int xUnlock(sqlite3_file* f, int l) { return real(f)->pMethods->xUnlock(real(f), l); }
int xCheckReservedLock(sqlite3_file* f, int* out) { return real(f)->pMethods->xCheckReservedLock(real(f), out); }
int xFileControl(sqlite3_file* f, int op, void* arg) { return real(f)->pMethods->xFileControl(real(f), op, arg); }
int xSectorSize(sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); }
int xDeviceCharacteristics(sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); }
int xShmMap(sqlite3_file* f, int i, int sz, int b, void volatile** pp)
{
    return real(f)->pMethods->xShmMap(real(f), i, sz, b, pp);
}
int xShmLock(sqlite3_file* f, int off, int n, int flags) { return real(f)->pMethods->xShmLock(real(f), off, n, flags); }
void xShmBarrier(sqlite3_file* f) { real(f)->pMethods->xShmBarrier(real(f)); }
int xShmUnmap(sqlite3_file* f, int del) { return real(f)->pMethods->xShmUnmap(real(f), del); }
int xFetch(sqlite3_file* f, sqlite3_int64 off, int n, void** pp) { return real(f)->pMethods->xFetch(real(f), off, n, pp); }
int xUnfetch(sqlite3_file* f, sqlite3_int64 off, void* p) { return real(f)->pMethods->xUnfetch(real(f), off, p); }

sqlite3_io_methods g_methods[3];

int vfsOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* ff = reinterpret_cast<FaultFile*>(file);
    ff->real = reinterpret_cast<sqlite3_file*>(ff + 1);
    ff->name = name;
    ff->base.pMethods = nullptr;
    const int rc = g_real->xOpen(g_real, name, ff->real, flags, outFlags);
    if (ff->real->pMethods) {
        const int version = ff->real->pMethods->iVersion;
        ff->base.pMethods = &g_methods[std::max(1, std::min(version, 3)) - 1];
    }
    return rc;
}

int vfsDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    note("delete", name, syncDir ? "syncdir" : "nosync");
    return g_real->xDelete(g_real, name, syncDir);
}

int vfsAccess(sqlite3_vfs*, const char* name, int flags, int* out) { return g_real->xAccess(g_real, name, flags, out); }
int vfsFullPathname(sqlite3_vfs*, const char* name, int n, char* out)
{
    return g_real->xFullPathname(g_real, name, n, out);
}
void* vfsDlOpen(sqlite3_vfs*, const char* name) { return g_real->xDlOpen(g_real, name); }
void vfsDlError(sqlite3_vfs*, int n, char* msg) { g_real->xDlError(g_real, n, msg); }
void (*vfsDlSym(sqlite3_vfs*, void* h, const char* sym))(void) { return g_real->xDlSym(g_real, h, sym); }
void vfsDlClose(sqlite3_vfs*, void* h) { g_real->xDlClose(g_real, h); }
int vfsRandomness(sqlite3_vfs*, int n, char* out) { return g_real->xRandomness(g_real, n, out); }
int vfsSleep(sqlite3_vfs*, int us) { return g_real->xSleep(g_real, us); }
int vfsCurrentTime(sqlite3_vfs*, double* t) { return g_real->xCurrentTime(g_real, t); }
int vfsGetLastError(sqlite3_vfs*, int n, char* out) { return g_real->xGetLastError(g_real, n, out); }
int vfsCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* t) { return g_real->xCurrentTimeInt64(g_real, t); }

} // namespace

FaultPlan PlanFromEnvironment()
{
    FaultPlan plan;
    if (const char* k = std::getenv("WT_KILL_AT")) {
        const char* colon = std::strchr(k, ':');
        if (colon) {
            plan.op.assign(k, colon);
            plan.at = std::atol(colon + 1);
        }
    }
    if (const char* l = std::getenv("WT_VFS_LOG"))
        plan.log = l;
    return plan;
}

void InstallFaultVfs(const FaultPlan& plan)
{
    g_plan = plan;
    g_real = sqlite3_vfs_find(nullptr);
    for (int v = 1; v <= 3; ++v) {
        sqlite3_io_methods& m = g_methods[v - 1];
        m = sqlite3_io_methods{};
        m.iVersion = v;
        m.xClose = xClose;
        m.xRead = xRead;
        m.xWrite = xWrite;
        m.xTruncate = xTruncate;
        m.xSync = xSync;
        m.xFileSize = xFileSize;
        m.xLock = xLock;
        m.xUnlock = xUnlock;
        m.xCheckReservedLock = xCheckReservedLock;
        m.xFileControl = xFileControl;
        m.xSectorSize = xSectorSize;
        m.xDeviceCharacteristics = xDeviceCharacteristics;
        if (v >= 2) {
            m.xShmMap = xShmMap;
            m.xShmLock = xShmLock;
            m.xShmBarrier = xShmBarrier;
            m.xShmUnmap = xShmUnmap;
        }
        if (v >= 3) {
            m.xFetch = xFetch;
            m.xUnfetch = xUnfetch;
        }
    }
    g_vfs = *g_real;
    g_vfs.iVersion = std::min(g_real->iVersion, 2);
    g_vfs.szOsFile = static_cast<int>(sizeof(FaultFile)) + g_real->szOsFile;
    g_vfs.zName = "wingtrail-fault";
    g_vfs.pNext = nullptr;
    g_vfs.xOpen = vfsOpen;
    g_vfs.xDelete = vfsDelete;
    g_vfs.xAccess = vfsAccess;
    g_vfs.xFullPathname = vfsFullPathname;
    g_vfs.xDlOpen = vfsDlOpen;
    g_vfs.xDlError = vfsDlError;
    g_vfs.xDlSym = vfsDlSym;
    g_vfs.xDlClose = vfsDlClose;
    g_vfs.xRandomness = vfsRandomness;
    g_vfs.xSleep = vfsSleep;
    g_vfs.xCurrentTime = vfsCurrentTime;
    g_vfs.xGetLastError = vfsGetLastError;
    g_vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    sqlite3_vfs_register(&g_vfs, 1);
}

} // namespace reliability

#include "tests/reliability/power_loss_vfs.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvik::testing {
namespace {

struct PendingWrite {
  sqlite3_int64 offset;
  std::vector<char> bytes;
  sqlite3_int64 end() const { return offset + static_cast<sqlite3_int64>(bytes.size()); }
};

// Per path, not per handle: a write stays in the cache after its handle is
// closed, and every handle on the file sees it.
struct State {
  sqlite3_vfs* real = nullptr;
  PowerCut cut;
  std::uint64_t calls = 0;
  std::map<std::string, std::vector<PendingWrite>> pending;
};
State& S() {
  static State state;
  return state;
}
// The books' log is copied back by a thread of its own: the cache and the
// count are shared between it and the committing one. Recursive, as a
// read asks for the size and a counted call may end in the cut.
std::recursive_mutex& Guard() {
  static std::recursive_mutex guard;
  return guard;
}
using Hold = std::lock_guard<std::recursive_mutex>;

struct File {
  sqlite3_file base;
  const char* path;  // null: a temporary file, written through
  sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};
File* F(sqlite3_file* f) { return reinterpret_cast<File*>(f); }

[[noreturn]] void Cut() {
  Hold hold(Guard());
  State& s = S();
  std::mt19937 random(s.cut.seed);
  std::bernoulli_distribution survives(s.cut.keep);
  for (const auto& [path, writes] : s.pending) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) continue;
    for (const PendingWrite& w : writes) {
      if (!survives(random)) continue;
      if (::pwrite(fd, w.bytes.data(), w.bytes.size(), w.offset) != static_cast<ssize_t>(w.bytes.size())) break;
    }
    ::close(fd);
  }
  _exit(s.cut.exit_status);
}

const std::vector<PendingWrite>* PendingOf(const char* path) {
  if (!path) return nullptr;
  auto it = S().pending.find(path);
  return it == S().pending.end() ? nullptr : &it->second;
}

void Count() {
  if (++S().calls >= S().cut.after_calls) Cut();
}

int Close(sqlite3_file* f) {
  const int rc = F(f)->real()->pMethods->xClose(F(f)->real());
  delete[] F(f)->path;
  return rc;
}

int FileSize(sqlite3_file* f, sqlite3_int64* size) {
  Hold hold(Guard());
  const int rc = F(f)->real()->pMethods->xFileSize(F(f)->real(), size);
  if (rc != SQLITE_OK) return rc;
  if (const auto* writes = PendingOf(F(f)->path)) {
    for (const PendingWrite& w : *writes) *size = std::max(*size, w.end());
  }
  return SQLITE_OK;
}

int Read(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
  Hold hold(Guard());
  int rc = F(f)->real()->pMethods->xRead(F(f)->real(), buffer, amount, offset);
  const auto* writes = PendingOf(F(f)->path);
  if ((rc != SQLITE_OK && rc != SQLITE_IOERR_SHORT_READ) || !writes) return rc;
  const sqlite3_int64 end = offset + amount;
  for (const PendingWrite& w : *writes) {
    const sqlite3_int64 from = std::max(offset, w.offset), to = std::min(end, w.end());
    if (from < to) {
      std::memcpy(static_cast<char*>(buffer) + (from - offset), w.bytes.data() + (from - w.offset),
                  static_cast<std::size_t>(to - from));
    }
  }
  if (rc == SQLITE_IOERR_SHORT_READ) {
    sqlite3_int64 size = 0;
    if (FileSize(f, &size) == SQLITE_OK && size >= end) rc = SQLITE_OK;
  }
  return rc;
}

int Write(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
  if (!F(f)->path) return F(f)->real()->pMethods->xWrite(F(f)->real(), buffer, amount, offset);
  Hold hold(Guard());
  const char* bytes = static_cast<const char*>(buffer);
  S().pending[F(f)->path].push_back({offset, std::vector<char>(bytes, bytes + amount)});
  Count();  // the write in flight is one of those the cut may keep
  return SQLITE_OK;
}

int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  Hold hold(Guard());
  if (F(f)->path && S().pending.count(F(f)->path)) {
    auto& writes = S().pending[F(f)->path];
    std::erase_if(writes, [size](const PendingWrite& w) { return w.offset >= size; });
    for (PendingWrite& w : writes) {
      if (w.end() > size) w.bytes.resize(static_cast<std::size_t>(size - w.offset));
    }
  }
  return F(f)->real()->pMethods->xTruncate(F(f)->real(), size);
}

// The cached writes reach the file; the real fsync adds nothing to the
// simulation and only costs time, so it is left out.
int Sync(sqlite3_file* f, int) {
  if (!F(f)->path) return SQLITE_OK;
  Hold hold(Guard());
  Count();
  auto it = S().pending.find(F(f)->path);
  if (it == S().pending.end()) return SQLITE_OK;
  for (const PendingWrite& w : it->second) {
    const int rc = F(f)->real()->pMethods->xWrite(F(f)->real(), w.bytes.data(),
                                                  static_cast<int>(w.bytes.size()), w.offset);
    if (rc != SQLITE_OK) return rc;
  }
  S().pending.erase(it);
  return SQLITE_OK;
}

int Lock(sqlite3_file* f, int level) { return F(f)->real()->pMethods->xLock(F(f)->real(), level); }
int Unlock(sqlite3_file* f, int level) { return F(f)->real()->pMethods->xUnlock(F(f)->real(), level); }
int CheckReservedLock(sqlite3_file* f, int* out) {
  return F(f)->real()->pMethods->xCheckReservedLock(F(f)->real(), out);
}
int FileControl(sqlite3_file* f, int op, void* arg) {
  return F(f)->real()->pMethods->xFileControl(F(f)->real(), op, arg);
}
int SectorSize(sqlite3_file* f) { return F(f)->real()->pMethods->xSectorSize(F(f)->real()); }
int DeviceCharacteristics(sqlite3_file* f) {
  return F(f)->real()->pMethods->xDeviceCharacteristics(F(f)->real());
}
int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
  return F(f)->real()->pMethods->xShmMap(F(f)->real(), region, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
  return F(f)->real()->pMethods->xShmLock(F(f)->real(), offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) { F(f)->real()->pMethods->xShmBarrier(F(f)->real()); }
int ShmUnmap(sqlite3_file* f, int delete_flag) {
  return F(f)->real()->pMethods->xShmUnmap(F(f)->real(), delete_flag);
}
// No memory mapping: every read goes through Read, which sees the cache.
int Fetch(sqlite3_file*, sqlite3_int64, int, void** out) {
  *out = nullptr;
  return SQLITE_OK;
}
int Unfetch(sqlite3_file*, sqlite3_int64, void*) { return SQLITE_OK; }

const sqlite3_io_methods kMethods = {
    3,        Close,   Read,   Write,        Truncate,     Sync,   FileSize,
    Lock,     Unlock,  CheckReservedLock,    FileControl,  SectorSize,
    DeviceCharacteristics, ShmMap, ShmLock, ShmBarrier, ShmUnmap, Fetch, Unfetch};

constexpr int kCachedKinds =
    SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL | SQLITE_OPEN_SUPER_JOURNAL;

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* out_flags) {
  File* f = F(file);
  f->base.pMethods = nullptr;
  f->path = nullptr;
  sqlite3_vfs* real = S().real;
  const int rc = real->xOpen(real, name, f->real(), flags, out_flags);
  if (rc != SQLITE_OK || !f->real()->pMethods) return rc;
  if (name && (flags & kCachedKinds)) {
    const std::size_t n = std::strlen(name);
    char* copy = new char[n + 1];
    std::memcpy(copy, name, n + 1);
    f->path = copy;
  }
  f->base.pMethods = &kMethods;
  return SQLITE_OK;
}

int Delete(sqlite3_vfs*, const char* name, int sync_dir) {
  Hold hold(Guard());
  S().pending.erase(name);
  return S().real->xDelete(S().real, name, sync_dir);
}
int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
  return S().real->xAccess(S().real, name, flags, out);
}
int FullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
  return S().real->xFullPathname(S().real, name, n, out);
}
void* DlOpen(sqlite3_vfs*, const char* name) { return S().real->xDlOpen(S().real, name); }
void DlError(sqlite3_vfs*, int n, char* out) { S().real->xDlError(S().real, n, out); }
void (*DlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
  return S().real->xDlSym(S().real, handle, symbol);
}
void DlClose(sqlite3_vfs*, void* handle) { S().real->xDlClose(S().real, handle); }
int Randomness(sqlite3_vfs*, int n, char* out) { return S().real->xRandomness(S().real, n, out); }
int Sleep(sqlite3_vfs*, int micros) { return S().real->xSleep(S().real, micros); }
int CurrentTime(sqlite3_vfs*, double* out) { return S().real->xCurrentTime(S().real, out); }
int GetLastError(sqlite3_vfs*, int n, char* out) { return S().real->xGetLastError(S().real, n, out); }
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
  return S().real->xCurrentTimeInt64(S().real, out);
}

}  // namespace

void ArmPowerCut(std::uint64_t after_calls) {
  Hold hold(Guard());
  S().cut.after_calls = S().calls + after_calls;
}

void CutPower() {
  if (!S().real) std::abort();
  Cut();
}

void InstallPowerLossVfs(const PowerCut& cut) {
  State& s = S();
  if (s.real) throw std::logic_error("the power-loss VFS is installed already");
  s.real = sqlite3_vfs_find("unix");
  if (!s.real) throw std::runtime_error("no unix VFS to wrap");
  s.cut = cut;
  static sqlite3_vfs vfs{};
  vfs.iVersion = 2;
  vfs.szOsFile = static_cast<int>(sizeof(File)) + s.real->szOsFile;
  vfs.mxPathname = s.real->mxPathname;
  vfs.zName = "tarvik-power-loss";
  vfs.xOpen = Open;
  vfs.xDelete = Delete;
  vfs.xAccess = Access;
  vfs.xFullPathname = FullPathname;
  vfs.xDlOpen = DlOpen;
  vfs.xDlError = DlError;
  vfs.xDlSym = DlSym;
  vfs.xDlClose = DlClose;
  vfs.xRandomness = Randomness;
  vfs.xSleep = Sleep;
  vfs.xCurrentTime = CurrentTime;
  vfs.xGetLastError = GetLastError;
  vfs.xCurrentTimeInt64 = CurrentTimeInt64;
  if (sqlite3_vfs_register(&vfs, /*makeDflt=*/1) != SQLITE_OK) {
    throw std::runtime_error("cannot register the power-loss VFS");
  }
}

}  // namespace tarvik::testing

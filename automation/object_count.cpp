#include "automation/object_count.h"

#include <atomic>

namespace tarvik::automation {
namespace {
// Atomic although the server is apartment-threaded: objects of different
// apartments share these counters.
std::atomic<int> g_objects{0};
std::atomic<int> g_locks{0};
}  // namespace

void NoteObjectCreated() { ++g_objects; }
void NoteObjectDestroyed() { --g_objects; }
void NoteServerLock(bool lock) {
  if (lock) {
    ++g_locks;
  } else if (g_locks.load() > 0) {
    --g_locks;
  }
}
int LiveObjectCount() { return g_objects.load(); }
int ServerLockCount() { return g_locks.load(); }
bool CanUnload() { return g_objects.load() == 0 && g_locks.load() == 0; }

}  // namespace tarvik::automation

// Live objects and server locks of this library, for DllCanUnloadNow.
#pragma once

namespace tarvik::automation {

void NoteObjectCreated();
void NoteObjectDestroyed();
void NoteServerLock(bool lock);
int LiveObjectCount();
int ServerLockCount();
// True when no object and no lock remains.
bool CanUnload();

}  // namespace tarvik::automation

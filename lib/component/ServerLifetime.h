// Counts the library's live objects and server locks, so that DllCanUnloadNow
// can tell the runtime when the library's code is no longer needed.
#pragma once

namespace zenolith {

void ObjectCreated();
void ObjectDestroyed();
void ServerLocked();
void ServerUnlocked();
bool ServerInUse();  // any live object or lock

}  // namespace zenolith

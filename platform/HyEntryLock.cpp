#include "platform/HyEntryLock.h"

namespace hyplat {

// A namespace-scope object is constructed when the module is loaded and destroyed when it is
// unloaded, which is the lifetime the lock needs; no call can arrive before load or after unload.
static HyEntryLock g_entry_lock;

HyEntryLock& entry_lock() { return g_entry_lock; }

} // namespace hyplat

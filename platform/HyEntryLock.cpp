#include "platform/HyEntryLock.h"

#if defined(_WIN32)
#include "platform/HyWin32.h"
#endif

namespace hyplat {

#if defined(_WIN32)
static_assert(sizeof(CRITICAL_SECTION) <= sizeof(HyEntryLock), "the critical section does not fit");

namespace {
CRITICAL_SECTION* section(unsigned char* storage) { return reinterpret_cast<CRITICAL_SECTION*>(storage); }
} // namespace

HyEntryLock::HyEntryLock() { InitializeCriticalSection(section(m_section)); }
HyEntryLock::~HyEntryLock() { DeleteCriticalSection(section(m_section)); }
void HyEntryLock::enter() { EnterCriticalSection(section(m_section)); }
void HyEntryLock::leave() { LeaveCriticalSection(section(m_section)); }
bool HyEntryLock::try_enter() { return TryEnterCriticalSection(section(m_section)) != 0; }
#endif

// A namespace-scope object is constructed when the module is loaded and destroyed when it is
// unloaded, which is the lifetime the lock needs; no call can arrive before load or after unload.
static HyEntryLock g_entry_lock;

HyEntryLock& entry_lock() { return g_entry_lock; }

} // namespace hyplat

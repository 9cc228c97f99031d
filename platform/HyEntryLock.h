// The process-wide entry lock: held for the whole of every call into the plug-in, so the one effect
// object, its caches and every process-wide variable are touched by one call at a time. Recursive,
// because a host may call back into the plug-in from inside a call on the same thread.
// On Windows it is a critical section (recursive by nature); elsewhere a recursive mutex.
#pragma once

#if !defined(_WIN32)
#include <mutex>
#endif

namespace hyplat {

class HyEntryLock {
public:
#if defined(_WIN32)
    HyEntryLock();
    ~HyEntryLock();
    HyEntryLock(const HyEntryLock&) = delete;
    HyEntryLock& operator=(const HyEntryLock&) = delete;
    void enter();
    void leave();
    bool try_enter();
#else
    void enter() { m_mutex.lock(); }
    void leave() { m_mutex.unlock(); }
    bool try_enter() { return m_mutex.try_lock(); }
#endif

private:
#if defined(_WIN32)
    // CRITICAL_SECTION, kept opaque so that <windows.h> stays out of every includer.
    alignas(void*) unsigned char m_section[40];
#else
    std::recursive_mutex m_mutex;
#endif
};

// The module's lock: exists from module load to module unload.
HyEntryLock& entry_lock();

// Holds the entry lock for one scope.
class HyEntryGuard {
public:
    explicit HyEntryGuard(HyEntryLock& lock = entry_lock()) : m_lock(lock) { m_lock.enter(); }
    ~HyEntryGuard() { m_lock.leave(); }
    HyEntryGuard(const HyEntryGuard&) = delete;
    HyEntryGuard& operator=(const HyEntryGuard&) = delete;

private:
    HyEntryLock& m_lock;
};

} // namespace hyplat

#include "platform/HyMemory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace hymem {
namespace {

// The hook's four process-wide values. Calls into the plug-in are serialised by the entry lock;
// atomics keep concurrent tests and off-entry users well defined.
std::atomic<HookFn> g_hook{nullptr};
std::atomic<std::uint32_t> g_hook_tag{0};
std::atomic<bool> g_hook_on{false};
std::atomic<std::uintptr_t> g_hook_user{0};

// Set on threads that must not call the host (the thread pool's workers).
thread_local bool t_heap_only = false;

// Host-memory blocks such threads release, handed back by a thread that may call the host.
std::mutex g_deferred_mutex;
std::vector<void*> g_deferred;

std::atomic<std::int64_t> g_hook_bytes{0};
std::atomic<std::int64_t> g_heap_bytes{0};

struct Header {
    std::uint32_t n;
    std::uint32_t tag;
};
static_assert(sizeof(Header) == kHeaderBytes);

Header* header_of(void* block) { return reinterpret_cast<Header*>(static_cast<char*>(block) - kHeaderBytes); }
const Header* header_of(const void* block)
{
    return reinterpret_cast<const Header*>(static_cast<const char*>(block) - kHeaderBytes);
}

} // namespace

void install_hook(HookFn fn, std::uint32_t tag, bool on, std::uintptr_t user)
{
    g_hook.store(fn);
    g_hook_tag.store(tag);
    g_hook_on.store(on);
    g_hook_user.store(user);
}

void set_hook_on(bool on) { g_hook_on.store(on); }
bool hook_on() { return g_hook_on.load(); }
void use_heap_on_this_thread() { t_heap_only = true; }

void release_deferred()
{
    if (t_heap_only)
        return;
    std::vector<void*> blocks;
    {
        std::lock_guard<std::mutex> lock(g_deferred_mutex);
        blocks.swap(g_deferred);
    }
    for (void* b : blocks)
        release(b);
}
bool hook_installed() { return g_hook.load() != nullptr; }
std::uint32_t hook_tag() { return g_hook_tag.load(); }

void* allocate(std::size_t n, bool zero)
{
    // The header stores n in 32 bits.
    if (n > 0xFFFFFFFFu - kHeaderBytes)
        return nullptr;
    const std::size_t total = n + kHeaderBytes;
    void* raw = nullptr;
    std::uint32_t tag = kHeapTag;
    HookFn hook = g_hook.load();
    const bool from_hook = hook != nullptr && g_hook_on.load() && !t_heap_only;
    if (from_hook) {
        tag = g_hook_tag.load();
        if (!hook(kHookAllocate, &raw, total, g_hook_user.load()) || raw == nullptr)
            return nullptr;
    } else {
        raw = std::malloc(total);
        if (raw == nullptr)
            return nullptr;
    }
    if (zero)
        std::memset(raw, 0, total);
    auto* h = static_cast<Header*>(raw);
    h->n = static_cast<std::uint32_t>(n);
    h->tag = tag;
    (from_hook ? g_hook_bytes : g_heap_bytes).fetch_add(static_cast<std::int64_t>(n));
    return static_cast<char*>(raw) + kHeaderBytes;
}

bool release(void* block)
{
    if (block == nullptr)
        return false;
    Header* h = header_of(block);
    const std::uint32_t n = h->n;
    HookFn hook = g_hook.load();
    if (hook != nullptr && h->tag == g_hook_tag.load()) {
        if (t_heap_only) {
            std::lock_guard<std::mutex> lock(g_deferred_mutex);
            g_deferred.push_back(block);
            return true;
        }
        // Host-memory blocks go back through the hook whether it is switched on or not.
        void* raw = h;
        if (!hook(kHookFree, &raw, 0, g_hook_user.load()))
            return false;
        g_hook_bytes.fetch_sub(static_cast<std::int64_t>(n));
        return true;
    }
    if (h->tag == kHeapTag) {
        std::free(h);
        g_heap_bytes.fetch_sub(static_cast<std::int64_t>(n));
        return true;
    }
    return false;
}

bool resize(void** block, std::size_t n)
{
    if (block == nullptr || *block == nullptr)
        return false;
    Header* h = header_of(*block);
    if (h->tag != kHeapTag)
        return false;
    if (n > 0xFFFFFFFFu - kHeaderBytes)
        return false;
    const std::uint32_t old_n = h->n;
    void* raw = std::realloc(h, n + kHeaderBytes);
    if (raw == nullptr) {
        // realloc could not grow in place or move: take a fresh block and copy.
        raw = std::malloc(n + kHeaderBytes);
        if (raw == nullptr)
            return false;
        std::memcpy(static_cast<char*>(raw) + kHeaderBytes, *block, old_n < n ? old_n : n);
        std::free(h);
    }
    auto* nh = static_cast<Header*>(raw);
    nh->n = static_cast<std::uint32_t>(n);
    nh->tag = kHeapTag;
    g_heap_bytes.fetch_add(static_cast<std::int64_t>(n) - static_cast<std::int64_t>(old_n));
    *block = static_cast<char*>(raw) + kHeaderBytes;
    return true;
}

std::int64_t hook_bytes() { return g_hook_bytes.load(); }
std::int64_t heap_bytes() { return g_heap_bytes.load(); }

std::size_t block_size(const void* block) { return block ? header_of(block)->n : 0; }
std::uint32_t block_tag(const void* block) { return block ? header_of(block)->tag : 0; }

} // namespace hymem

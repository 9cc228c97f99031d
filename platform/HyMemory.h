// Tagged allocator: every block the program allocates goes through here.
//
// Block layout (8-byte header, then the caller's bytes):
//   [uint32 n][uint32 tag][n bytes handed to the caller ...]
// The tag says where the block came from: 'OSMM' for the ordinary heap, or the host-memory hook's tag
// while a render runs with the hook switched on. Release sends a block back where it came from, so a
// block taken from host memory during a render can still be freed after the render.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace hymem {

constexpr std::uint32_t make_tag(char a, char b, char c, char d)
{
    return (std::uint32_t(std::uint8_t(a)) << 24) | (std::uint32_t(std::uint8_t(b)) << 16) |
           (std::uint32_t(std::uint8_t(c)) << 8) | std::uint32_t(std::uint8_t(d));
}

constexpr std::uint32_t kHeapTag = make_tag('O', 'S', 'M', 'M');
constexpr std::size_t kHeaderBytes = 8;

// Hook operations.
constexpr int kHookAllocate = 1;
constexpr int kHookFree = 3;

// The hook callback: op 1 allocates `bytes` and stores the address in *cell; op 3 frees *cell.
// Returns 1 on success, 0 on failure. `user` is the hook's user word.
using HookFn = int (*)(int op, void** cell, std::size_t bytes, std::uintptr_t user);

// Installs (or, with a null callback, removes) the process-wide hook.
void install_hook(HookFn fn, std::uint32_t tag, bool on, std::uintptr_t user);
void set_hook_on(bool on);
bool hook_on();
// The host is called only from the thread it called in on: threads of our own (the thread pool's
// workers) call this once and then take their blocks from the ordinary heap even while the hook is
// on. Host-memory blocks such a thread releases wait until a thread that may call the host runs
// release_deferred (the pool does after every loop).
void use_heap_on_this_thread();
void release_deferred();
bool hook_installed();
std::uint32_t hook_tag();

// allocate: null when there is no memory. With `zero`, the header and the n bytes are cleared first.
void* allocate(std::size_t n, bool zero = false);
// release: false for null, for a block of an unknown tag, or when the hook fails to free it.
bool release(void* block);
// resize: heap ('OSMM') blocks only; on failure the old block is unchanged and false is returned.
bool resize(void** block, std::size_t n);

// Bytes currently outstanding per source.
std::int64_t hook_bytes();
std::int64_t heap_bytes();

// Size and tag recorded in a block's header.
std::size_t block_size(const void* block);
std::uint32_t block_tag(const void* block);

// Typed helpers for arrays of trivially constructible values.
template <class T>
T* allocate_array(std::size_t count, bool zero = false)
{
    if (count != 0 && count > (SIZE_MAX - kHeaderBytes) / sizeof(T))
        return nullptr;
    return static_cast<T*>(allocate(count * sizeof(T), zero));
}

} // namespace hymem

// Base for classes whose objects must come from the tagged allocator. Class-specific `new` is
// noexcept, so a failed allocation yields a null pointer and the constructor is not run:
//     HyGrid* g = new HyGrid(...);   if (!g) { ... "Out of Memory" ... }
struct HyAllocated {
    static void* operator new(std::size_t n) noexcept { return hymem::allocate(n, false); }
    static void* operator new[](std::size_t n) noexcept { return hymem::allocate(n, false); }
    static void* operator new(std::size_t, void* where) noexcept { return where; }
    static void operator delete(void* p) noexcept { hymem::release(p); }
    static void operator delete[](void* p) noexcept { hymem::release(p); }
    static void operator delete(void*, void*) noexcept {}
};

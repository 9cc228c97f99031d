#include "platform/HyMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <thread>
#include <vector>

#include "platform/HyThreadPool.h"

namespace {

// A scripted host memory: counts live blocks and calls from foreign threads, can be told to refuse.
struct FakeHostMemory {
    std::map<void*, std::size_t> live;
    bool refuse = false;
    std::thread::id host_thread = std::this_thread::get_id();
};
FakeHostMemory g_host;
std::atomic<int> g_foreign_calls{0};

int fake_hook(int op, void** cell, std::size_t bytes, std::uintptr_t user)
{
    EXPECT_EQ(user, 77u);
    g_foreign_calls += std::this_thread::get_id() != g_host.host_thread;
    if (op == hymem::kHookAllocate && !g_host.refuse) {
        *cell = ::operator new(bytes);
        g_host.live[*cell] = bytes;
        return 1;
    }
    if (op == hymem::kHookFree && g_host.live.erase(*cell) == 1) {
        ::operator delete(*cell);
        return 1;
    }
    return 0;
}

constexpr std::uint32_t kAETG = 0x41455447;

struct MemoryTest : ::testing::Test {
    void SetUp() override
    {
        g_host = {};
        g_foreign_calls = 0;
    }
    void TearDown() override { hymem::install_hook(nullptr, 0, false, 0); }
};

struct Widget : HyAllocated {
    int v[4] = {1, 2, 3, 4};
};

// Heap blocks carry size and tag, come zeroed on request, keep data when resized; the byte count is exact.
// Host blocks carry the hook's tag and go back through the hook even after it was switched off; a
// refusing host gives null blocks, arrays and objects; a block with an unknown tag is left alone.
// Pool workers never call the host: they take heap blocks, and host blocks they free go back on the caller.
TEST_F(MemoryTest, BlocksHeadersCountersAndTheHook)
{
    const auto before = hymem::heap_bytes();
    auto* p = static_cast<unsigned char*>(hymem::allocate(100, true));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(hymem::block_size(p), 100u);
    EXPECT_EQ(hymem::block_tag(p), 0x4F534D4Du); // 'OSMM'
    EXPECT_EQ(*std::max_element(p, p + 100), 0);
    EXPECT_EQ(hymem::heap_bytes(), before + 100);
    std::memcpy(p, "0123456789abcdef", 16);
    void* q = p;
    ASSERT_TRUE(hymem::resize(&q, 1 << 20));
    EXPECT_EQ(std::memcmp(q, "0123456789abcdef", 16), 0);
    EXPECT_EQ(hymem::block_size(q), 1u << 20);
    EXPECT_EQ(hymem::heap_bytes(), before + (1 << 20));
    ASSERT_TRUE(hymem::resize(&q, 4));
    EXPECT_EQ(std::memcmp(q, "0123", 4), 0);
    EXPECT_EQ(hymem::heap_bytes(), before + 4);
    EXPECT_TRUE(hymem::release(q));
    EXPECT_EQ(hymem::heap_bytes(), before);
    EXPECT_FALSE(hymem::release(nullptr));

    hymem::install_hook(fake_hook, kAETG, true, 77);
    void* hb = hymem::allocate(40, true);
    ASSERT_NE(hb, nullptr);
    EXPECT_EQ(hymem::block_tag(hb), kAETG);
    EXPECT_EQ(hymem::hook_bytes(), 40);
    EXPECT_EQ(hymem::heap_bytes(), before);
    ASSERT_EQ(g_host.live.size(), 1u);
    EXPECT_EQ(g_host.live.begin()->second, 48u); // n + header
    EXPECT_FALSE(hymem::resize(&hb, 80));

    hymem::set_hook_on(false);
    q = hymem::allocate(8);
    EXPECT_EQ(hymem::block_tag(q), hymem::kHeapTag);
    EXPECT_TRUE(hymem::release(hb)); // after the render
    EXPECT_TRUE(g_host.live.empty());
    EXPECT_EQ(hymem::hook_bytes(), 0);
    EXPECT_TRUE(hymem::release(q));

    hymem::set_hook_on(true);
    Widget* w = new Widget;
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->v[3], 4);
    delete w;
    g_host.refuse = true;
    EXPECT_EQ(hymem::allocate(10), nullptr);
    EXPECT_EQ(hymem::allocate_array<int>(SIZE_MAX / 2), nullptr);
    EXPECT_EQ(new Widget, nullptr);

    hymem::install_hook(nullptr, 0, false, 0);
    alignas(8) unsigned char fake[16] = {};
    fake[4] = 'X'; // tag neither OSMM nor the hook's
    EXPECT_FALSE(hymem::release(fake + 8));

    g_host.refuse = false;
    hymem::install_hook(fake_hook, kAETG, true, 77);
    hyplat::HyThreadPool pool(2);
    std::vector<void*> host_blocks(64);
    std::generate(host_blocks.begin(), host_blocks.end(), [] { return hymem::allocate(100); });
    std::vector<std::uint32_t> tags(64);
    std::vector<char> worker(64);
    std::atomic<bool> worker_ran{false};
    pool.parallel_for(64, 1, [&](std::int64_t b, std::int64_t) {
        const bool on_worker = std::this_thread::get_id() != g_host.host_thread;
        // The calling thread waits until a worker has run a chunk, so both kinds of thread run some.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!on_worker && !worker_ran && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        void* p = hymem::allocate(40);
        tags[std::size_t(b)] = hymem::block_tag(p);
        worker[std::size_t(b)] = on_worker;
        hymem::release(p);
        hymem::release(host_blocks[std::size_t(b)]);
        worker_ran = worker_ran || on_worker;
    });
    EXPECT_TRUE(worker_ran);
    EXPECT_EQ(g_foreign_calls.load(), 0);
    EXPECT_TRUE(g_host.live.empty()); // every host block went back
    for (std::size_t k = 0; k < 64; ++k)
        EXPECT_EQ(tags[k], worker[k] ? hymem::kHeapTag : kAETG);
}

} // namespace

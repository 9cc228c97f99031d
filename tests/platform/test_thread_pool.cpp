#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/HyMemory.h"
#include "platform/HyThreadPool.h"

using hyplat::HyThreadPool;

// Every chunk runs once, cut as documented, whatever the thread count; per-chunk partial sums
// combined in chunk order give bit-identical totals for 1, 2 and 7 threads.
TEST(ThreadPool, ChunksAreFixedByCountAndGrainOnly)
{
    struct Case {
        std::int64_t count, grain;
    } cases[] = {{0, 4}, {1, 1}, {10, 3}, {10, 0}, {1000, 7}, {1000, 1000}, {1001, 100}};
    for (const Case& c : cases) {
        double totals[3];
        int k = 0;
        for (int threads : {1, 2, 7}) {
            HyThreadPool pool(threads);
            EXPECT_EQ(pool.thread_count(), threads);
            std::mutex m;
            std::vector<std::pair<std::int64_t, std::int64_t>> seen;
            const std::int64_t chunks = HyThreadPool::chunk_count(c.count, c.grain);
            std::vector<double> partial(static_cast<std::size_t>(chunks), 0.0);
            const std::int64_t g = std::max<std::int64_t>(c.grain, 1);
            pool.parallel_for(c.count, c.grain, [&](std::int64_t b, std::int64_t e) {
                for (std::int64_t i = b; i < e; ++i)
                    partial[static_cast<std::size_t>(b / g)] += 1.0 / (1.0 + double(i));
                std::lock_guard<std::mutex> lock(m);
                seen.emplace_back(b, e);
            });
            std::sort(seen.begin(), seen.end());
            ASSERT_EQ(std::int64_t(seen.size()), chunks) << c.count << "/" << c.grain;
            for (std::int64_t i = 0; i < chunks; ++i) {
                EXPECT_EQ(seen[std::size_t(i)].first, i * g);
                EXPECT_EQ(seen[std::size_t(i)].second, std::min(c.count, (i + 1) * g));
            }
            double total = 0.0;
            for (double p : partial)
                total += p;
            totals[k++] = total;
        }
        EXPECT_EQ(totals[0], totals[1]);
        EXPECT_EQ(totals[0], totals[2]);
    }
}

// Two chunks meet inside the body at once, which only real workers allow (also after the workers
// were released); a loop started inside a body, and loops started from two threads at once, finish
// (serially where they must).
TEST(ThreadPool, WorkersRunConcurrentlyAndNestedLoopsFinish)
{
    HyThreadPool pool(3);
    auto chunks_meet = [&] {
        std::atomic<int> arrived{0};
        std::atomic<bool> met{true};
        pool.parallel_for(2, 1, [&](std::int64_t, std::int64_t) {
            arrived.fetch_add(1);
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (arrived.load() < 2)
                if (std::chrono::steady_clock::now() > until) {
                    met = false;
                    return;
                }
        });
        return met.load();
    };
    EXPECT_TRUE(chunks_meet());
    pool.release_workers();
    EXPECT_EQ(pool.thread_count(), 3);
    EXPECT_TRUE(chunks_meet());

    std::atomic<std::int64_t> sum{0};
    auto nested = [&] {
        pool.parallel_for(8, 1, [&](std::int64_t a, std::int64_t) {
            pool.parallel_for(100, 9, [&](std::int64_t b, std::int64_t e) { sum.fetch_add((a + 1) * (e - b)); });
        });
    };
    std::thread other(nested);
    nested();
    other.join();
    EXPECT_EQ(sum.load(), 2 * 100 * 36);

    pool.resize(1);
    EXPECT_EQ(pool.thread_count(), 1);
    std::thread::id ran;
    pool.parallel_for(50, 1, [&](std::int64_t, std::int64_t) { ran = std::this_thread::get_id(); });
    EXPECT_EQ(ran, std::this_thread::get_id());
}

TEST(ThreadPool, ThreadCountFromEnvironment)
{
    const struct {
        const char* text;
        int threads;
    } cases[] = {{"3", 3}, {"1", 1}, {"0", 0}, {"-2", 0}, {"4x", 0}, {"", 0}};
    for (const auto& c : cases) {
        ::setenv("SEAVAST_THREADS", c.text, 1);
        EXPECT_EQ(HyThreadPool::environment_threads(), c.threads) << c.text;
    }
    ::unsetenv("SEAVAST_THREADS");
    EXPECT_EQ(HyThreadPool::environment_threads(), 0);
    EXPECT_GE(HyThreadPool::resolve_thread_count(0), 1);
    EXPECT_EQ(HyThreadPool::resolve_thread_count(5), 5);
}

namespace {

std::thread::id g_host_thread;
std::atomic<int> g_host_calls{0}, g_foreign_calls{0};

int thread_checking_hook(int op, void** cell, std::size_t bytes, std::uintptr_t)
{
    (std::this_thread::get_id() == g_host_thread ? g_host_calls : g_foreign_calls).fetch_add(1);
    if (op == hymem::kHookAllocate) {
        *cell = std::malloc(bytes);
        return *cell != nullptr;
    }
    std::free(*cell);
    return 1;
}

} // namespace

// Workers never call the host: with the hook on they take heap blocks, and host blocks they release
// go back through the hook on the calling thread once the loop is over.
TEST(ThreadPool, WorkersLeaveTheHostMemoryHookToTheCallingThread)
{
    g_host_thread = std::this_thread::get_id();
    constexpr std::uint32_t tag = hymem::make_tag('T', 'P', 'O', 'L');
    hymem::install_hook(thread_checking_hook, tag, true, 0);
    const std::int64_t before = hymem::hook_bytes();
    HyThreadPool pool(2);
    std::vector<void*> host_blocks(64);
    for (void*& b : host_blocks)
        b = hymem::allocate(100);
    std::vector<std::uint32_t> tags(64);
    std::vector<char> worker(64);
    pool.parallel_for(64, 1, [&](std::int64_t b, std::int64_t) {
        void* p = hymem::allocate(40);
        tags[std::size_t(b)] = hymem::block_tag(p);
        worker[std::size_t(b)] = std::this_thread::get_id() != g_host_thread;
        hymem::release(p);
        hymem::release(host_blocks[std::size_t(b)]);
    });
    hymem::install_hook(nullptr, 0, false, 0);
    EXPECT_EQ(g_foreign_calls.load(), 0);
    EXPECT_EQ(hymem::hook_bytes(), before); // every host block went back
    for (std::size_t k = 0; k < 64; ++k)
        EXPECT_EQ(tags[k], worker[k] ? hymem::kHeapTag : tag);
}

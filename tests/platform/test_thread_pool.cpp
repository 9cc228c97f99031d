#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <numeric>
#include <thread>
#include <utility>
#include <vector>

#include "platform/HyEntryLock.h"
#include "platform/HyThreadPool.h"

using hyplat::HyThreadPool;

// Every chunk runs once, cut as documented, whatever the thread count; per-chunk partial sums
// combined in chunk order give bit-identical totals for 1, 2 and 7 threads.
// Chunks meet in the body at once (real workers), also after release; nested and concurrent loops finish.
// The thread count comes from the environment when it is a positive number.
TEST(ThreadPool, ChunksWorkersAndTheThreadCount)
{
    const struct {
        std::int64_t count, grain, chunks;
    } cases[] = {{0, 4, 0},       {1, 1, 1},       {10, 3, 4},      {10, 0, 10},
                 {1000, 7, 143}, {1000, 1000, 1}, {1001, 100, 11}};
    for (const auto& c : cases) {
        ASSERT_EQ(HyThreadPool::chunk_count(c.count, c.grain), c.chunks);
        std::vector<double> totals;
        for (int threads : {1, 2, 7}) {
            HyThreadPool pool(threads);
            EXPECT_EQ(pool.thread_count(), threads);
            std::mutex m;
            std::vector<std::pair<std::int64_t, std::int64_t>> seen;
            std::vector<double> partial(static_cast<std::size_t>(c.chunks), 0.0);
            const std::int64_t g = std::max<std::int64_t>(c.grain, 1);
            pool.parallel_for(c.count, c.grain, [&](std::int64_t b, std::int64_t e) {
                for (std::int64_t i = b; i < e; ++i)
                    partial[static_cast<std::size_t>(b / g)] += 1.0 / (1.0 + double(i));
                std::lock_guard<std::mutex> lock(m);
                seen.emplace_back(b, e);
            });
            std::sort(seen.begin(), seen.end());
            std::vector<std::pair<std::int64_t, std::int64_t>> cut;
            for (std::int64_t i = 0; i < c.chunks; ++i)
                cut.emplace_back(i * g, std::min(c.count, (i + 1) * g));
            EXPECT_EQ(seen, cut) << c.count << "/" << c.grain;
            totals.push_back(std::accumulate(partial.begin(), partial.end(), 0.0));
        }
        EXPECT_EQ(totals, std::vector<double>(3, totals[0])); // bit-identical
    }

    HyThreadPool pool(3);
    auto chunks_meet = [&] {
        std::atomic<int> arrived{0};
        std::atomic<bool> met{true};
        pool.parallel_for(2, 1, [&](std::int64_t, std::int64_t) {
            arrived.fetch_add(1);
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (arrived.load() < 2 && std::chrono::steady_clock::now() < until)
                std::this_thread::yield();
            met = met && arrived.load() == 2;
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

    const std::pair<const char*, int> envs[] = {{"3", 3}, {"1", 1}, {"0", 0}, {"-2", 0}, {"4x", 0}, {"", 0}};
    for (const auto& [text, threads] : envs) {
        ::setenv("SEAVAST_THREADS", text, 1);
        EXPECT_EQ(HyThreadPool::environment_threads(), threads) << text;
    }
    ::unsetenv("SEAVAST_THREADS");
    EXPECT_EQ(HyThreadPool::environment_threads(), 0);
    EXPECT_GE(HyThreadPool::resolve_thread_count(0), 1);
    EXPECT_EQ(HyThreadPool::resolve_thread_count(5), 5);
}

// The process's one lock: recursive on one thread, exclusive across threads (that a waiting thread really
// waits is shown by the plug-in entry's eight-thread test).
TEST(EntryLock, RecursiveOnOneThreadExclusiveAcrossThreads)
{
    hyplat::HyEntryLock& lock = hyplat::entry_lock();
    EXPECT_EQ(&lock, &hyplat::entry_lock());
    const auto other_thread_gets_it = [&] {
        bool got = false;
        std::thread t([&] {
            got = lock.try_enter();
            if (got)
                lock.leave();
        });
        t.join();
        return got;
    };
    {
        hyplat::HyEntryGuard outer;
        {
            hyplat::HyEntryGuard inner; // same thread: must not deadlock
        }
        EXPECT_FALSE(other_thread_gets_it());
    }
    EXPECT_TRUE(other_thread_gets_it());
}

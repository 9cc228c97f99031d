#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/HyEntryLock.h"

// The process's one lock is recursive on one thread, held until released as often as entered, and
// exclusive across threads: eight threads never overlap inside it.
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

    hyplat::HyEntryLock own;
    std::atomic<int> inside{0}, overlaps{0};
    long counter = 0; // deliberately unsynchronised apart from the lock
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                hyplat::HyEntryGuard g(own);
                if (inside.fetch_add(1) != 0)
                    overlaps.fetch_add(1);
                ++counter;
                std::this_thread::yield();
                inside.fetch_sub(1);
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(counter, 8 * 2000);
}

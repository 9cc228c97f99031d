#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/HyEntryLock.h"

// The lock is recursive on one thread and exclusive across threads.
TEST(EntryLock, RecursiveOnOneThreadExclusiveAcrossThreads)
{
    hyplat::HyEntryLock& lock = hyplat::entry_lock();
    EXPECT_EQ(&lock, &hyplat::entry_lock());
    {
        hyplat::HyEntryGuard outer;
        hyplat::HyEntryGuard inner; // same thread: must not deadlock
        bool other_got_it = true;
        std::thread t([&] {
            other_got_it = lock.try_enter();
            if (other_got_it)
                lock.leave();
        });
        t.join();
        EXPECT_FALSE(other_got_it);
    }
    // Released as often as entered: another thread now gets it.
    bool got = false;
    std::thread t([&] {
        got = lock.try_enter();
        if (got)
            lock.leave();
    });
    t.join();
    EXPECT_TRUE(got);
}

TEST(EntryLock, SerialisesCriticalSections)
{
    hyplat::HyEntryLock lock;
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    long counter = 0; // deliberately unsynchronised apart from the lock
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                hyplat::HyEntryGuard g(lock);
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

// The process's worker threads and a parallel loop over index ranges.
//
// One pool serves the whole process; it is made on first use with all cores, or with the number in
// the environment variable SEAVAST_THREADS. The calling thread always takes part, so a pool of one
// thread has no workers and runs every loop on the caller, through the same code. Workers start with
// the first loop that can use them and stop with release_workers (the plug-in's last set-down), so
// no thread of ours outlives the module.
//
// A loop cuts [0, count) into chunks of `grain` indices (the last one shorter): chunk c covers
// [c*grain, min(count, (c+1)*grain)). The cut depends on count and grain only, never on the thread
// count, so a body that writes only the outputs of its own indices (or keeps one partial result per
// chunk and combines them in chunk order afterwards) gives the same answer with any number of threads.
//
// One loop runs at a time. A loop started from inside a loop's body, or while another thread's loop
// is running, runs serially on its caller rather than waiting. Bodies must not throw and must not
// call the host; what the workers allocate comes from the ordinary heap, never from the host's
// memory hook (see hymem::use_heap_on_this_thread).
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace hyplat {

class HyThreadPool {
public:
    // A pool of `threads` threads in all (the caller and threads - 1 workers); 0 or less means all
    // cores.
    explicit HyThreadPool(int threads = 0);
    ~HyThreadPool();
    HyThreadPool(const HyThreadPool&) = delete;
    HyThreadPool& operator=(const HyThreadPool&) = delete;

    // The process's pool: made once, sized by SEAVAST_THREADS when that holds a positive number.
    static HyThreadPool& process();
    // The thread count of the process's pool; 0 or less means all cores. Waits for a running loop.
    static void set_process_threads(int threads);
    // Threads a pool takes for `requested` (0 or less: all cores, at least 1).
    static int resolve_thread_count(int requested);
    // SEAVAST_THREADS as a positive count, else 0 (all cores).
    static int environment_threads();

    int thread_count() const { return m_threads; }
    // Sets the thread count (workers restart with the next loop); waits for a running loop first.
    void resize(int threads);
    // Joins the workers; the next loop starts them again. Waits for a running loop first.
    void release_workers();

    // Calls body(begin, end) once for every chunk of [0, count) (see above) and returns when all have
    // run. grain below 1 counts as 1.
    template <class Body>
    void parallel_for(std::int64_t count, std::int64_t grain, Body&& body)
    {
        using Fn = std::remove_reference_t<Body>;
        run(count, grain, &call_body<Fn>, const_cast<void*>(static_cast<const void*>(&body)));
    }

    // Chunks for count indices cut by grain.
    static std::int64_t chunk_count(std::int64_t count, std::int64_t grain);

private:
    using Trampoline = void (*)(void*, std::int64_t, std::int64_t);
    template <class Fn>
    static void call_body(void* body, std::int64_t begin, std::int64_t end)
    {
        (*static_cast<Fn*>(body))(begin, end);
    }

    void run(std::int64_t count, std::int64_t grain, Trampoline fn, void* body);
    void work_chunks();
    void worker_main(std::uint64_t seen);
    void start_workers(int threads);
    void stop_workers();

    int m_threads = 1; // the caller and the workers, running or not
    std::vector<std::thread> m_workers;
    std::mutex m_loop;  // held by the caller of the running loop
    std::mutex m_state; // guards everything below
    std::condition_variable m_wake, m_done;
    std::uint64_t m_generation = 0;
    int m_busy = 0; // workers still inside the current loop
    bool m_stop = false;
    // The current loop; read by the workers after they see a new generation.
    Trampoline m_fn = nullptr;
    void* m_body = nullptr;
    std::int64_t m_count = 0, m_grain = 1, m_chunks = 0;
    std::atomic<std::int64_t> m_next{0};
};

// The process pool's loop, the form engine code uses.
template <class Body>
void parallel_for(std::int64_t count, std::int64_t grain, Body&& body)
{
    HyThreadPool::process().parallel_for(count, grain, std::forward<Body>(body));
}

// Sets `count` values to `value` on the process's pool; a large fill of fresh memory also spreads the
// system's clearing of its pages over the threads.
template <class T>
void parallel_fill(T* data, std::int64_t count, T value)
{
    parallel_for(count, std::int64_t(1) << 18, [=](std::int64_t first, std::int64_t end) {
        std::fill(data + first, data + end, value);
    });
}

} // namespace hyplat

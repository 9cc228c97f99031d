#include "platform/HyThreadPool.h"

#include "platform/HyMemory.h"

#include <algorithm>
#include <cstdlib>

namespace hyplat {
namespace {

// Set while a thread runs a loop's chunks: a loop started from inside runs serially.
thread_local bool t_inside_loop = false;

struct InsideLoop {
    bool before = t_inside_loop;
    InsideLoop() { t_inside_loop = true; }
    ~InsideLoop() { t_inside_loop = before; }
};

} // namespace

int HyThreadPool::environment_threads()
{
    const char* text = std::getenv("SEAVAST_THREADS");
    if (!text || !*text)
        return 0;
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (*end != '\0' || n < 1)
        return 0;
    return static_cast<int>(std::min<long>(n, 1024));
}

int HyThreadPool::resolve_thread_count(int requested)
{
    if (requested > 0)
        return std::min(requested, 1024);
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

std::int64_t HyThreadPool::chunk_count(std::int64_t count, std::int64_t grain)
{
    if (count <= 0)
        return 0;
    grain = std::max<std::int64_t>(grain, 1);
    return (count + grain - 1) / grain;
}

HyThreadPool::HyThreadPool(int threads) : m_threads(resolve_thread_count(threads)) {}

HyThreadPool::~HyThreadPool() { stop_workers(); }

HyThreadPool& HyThreadPool::process()
{
    // Never destroyed: joining threads from a static destructor can deadlock while a module unloads;
    // release_workers stops them at the plug-in's last set-down instead.
    static HyThreadPool* pool = new HyThreadPool(environment_threads());
    return *pool;
}

void HyThreadPool::set_process_threads(int threads) { process().resize(threads); }

void HyThreadPool::resize(int threads)
{
    const int n = resolve_thread_count(threads);
    std::lock_guard<std::mutex> loop(m_loop);
    if (n == m_threads)
        return;
    stop_workers();
    m_threads = n;
}

void HyThreadPool::release_workers()
{
    std::lock_guard<std::mutex> loop(m_loop);
    stop_workers();
}

void HyThreadPool::start_workers(int threads)
{
    std::uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(m_state);
        m_stop = false;
        generation = m_generation;
    }
    // A worker starts from the generation current now, so a loop started before it first waits
    // still counts on it.
    m_workers.reserve(static_cast<std::size_t>(threads - 1));
    for (int k = 1; k < threads; ++k)
        m_workers.emplace_back([this, generation] { worker_main(generation); });
}

void HyThreadPool::stop_workers()
{
    {
        std::lock_guard<std::mutex> lock(m_state);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& w : m_workers)
        w.join();
    m_workers.clear();
}

void HyThreadPool::work_chunks()
{
    InsideLoop inside;
    for (;;) {
        const std::int64_t c = m_next.fetch_add(1, std::memory_order_relaxed);
        if (c >= m_chunks)
            return;
        const std::int64_t begin = c * m_grain;
        m_fn(m_body, begin, std::min(m_count, begin + m_grain));
    }
}

void HyThreadPool::worker_main(std::uint64_t seen)
{
    hymem::use_heap_on_this_thread();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_state);
            m_wake.wait(lock, [&] { return m_stop || m_generation != seen; });
            if (m_stop)
                return;
            seen = m_generation;
        }
        work_chunks();
        {
            std::lock_guard<std::mutex> lock(m_state);
            if (--m_busy == 0)
                m_done.notify_one();
        }
    }
}

void HyThreadPool::run(std::int64_t count, std::int64_t grain, Trampoline fn, void* body)
{
    grain = std::max<std::int64_t>(grain, 1);
    const std::int64_t chunks = chunk_count(count, grain);
    if (chunks == 0)
        return;
    std::unique_lock<std::mutex> loop(m_loop, std::defer_lock);
    // Serial: nothing to share, no workers, nested inside a loop, or another thread's loop running.
    if (chunks == 1 || m_threads == 1 || t_inside_loop || !loop.try_lock()) {
        InsideLoop inside;
        for (std::int64_t c = 0; c < chunks; ++c)
            fn(body, c * grain, std::min(count, (c + 1) * grain));
        return;
    }
    if (m_workers.empty())
        start_workers(m_threads);
    {
        std::lock_guard<std::mutex> lock(m_state);
        m_fn = fn;
        m_body = body;
        m_count = count;
        m_grain = grain;
        m_chunks = chunks;
        m_next.store(0, std::memory_order_relaxed);
        m_busy = static_cast<int>(m_workers.size());
        ++m_generation;
    }
    m_wake.notify_all();
    work_chunks();
    {
        std::unique_lock<std::mutex> lock(m_state);
        m_done.wait(lock, [&] { return m_busy == 0; });
    }
    hymem::release_deferred();
}

} // namespace hyplat

#include "RenderProgress.h"

#include <csignal>
#include <cstdio>

namespace seavast_app {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;
#ifdef _WIN32
void (*g_old_int)(int) = SIG_DFL;
void (*g_old_term)(int) = SIG_DFL;
#else
struct sigaction g_old_int, g_old_term;
#endif

extern "C" void on_interrupt(int signal) { g_interrupted = signal; }

} // namespace

std::string clock_text(double seconds)
{
    const long s = seconds > 0 ? long(seconds + 0.5) : 0;
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

ProgressBar::ProgressBar(bool on, long frames) : on_(on), frames_(frames), start_(std::chrono::steady_clock::now()) {}

void ProgressBar::start_frame(long k, const std::string& name)
{
    k_ = k;
    fraction_ = 0.0;
    name_ = name;
    draw();
}

void ProgressBar::frame_progress(long current, long total)
{
    if (total <= 0)
        return;
    fraction_ = current <= 0 ? 0.0 : current >= total ? 1.0 : double(current) / double(total);
    if (on_ && std::chrono::steady_clock::now() - last_draw_ >= std::chrono::milliseconds(100))
        draw();
}

void ProgressBar::end_frame()
{
    fraction_ = 1.0;
    draw();
}

void ProgressBar::finish()
{
    if (on_ && drawn_)
        std::fprintf(stderr, "\n");
    drawn_ = false;
}

void ProgressBar::draw()
{
    if (!on_)
        return;
    const auto now = std::chrono::steady_clock::now();
    last_draw_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double done = frames_ > 0 ? (double(k_) + fraction_) / double(frames_) : 1.0;
    constexpr int kWidth = 24;
    std::string bar(std::size_t(done * kWidth), '#');
    bar.resize(kWidth, '.');
    const std::string left = done > 0.0 ? clock_text(elapsed / done * (1.0 - done)) : "?";
    std::fprintf(stderr, "\rseavast: [%s] frame %ld of %ld %3d%%  elapsed %s  left %s  %s\x1b[K", bar.c_str(),
                 k_ + 1, frames_, int(fraction_ * 100.0), clock_text(elapsed).c_str(), left.c_str(), name_.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

InterruptGuard::InterruptGuard()
{
    g_interrupted = 0;
#ifdef _WIN32
    g_old_int = std::signal(SIGINT, on_interrupt);
    g_old_term = std::signal(SIGTERM, on_interrupt);
#else
    struct sigaction sa {};
    sa.sa_handler = on_interrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &g_old_int);
    sigaction(SIGTERM, &sa, &g_old_term);
#endif
}

InterruptGuard::~InterruptGuard()
{
#ifdef _WIN32
    std::signal(SIGINT, g_old_int);
    std::signal(SIGTERM, g_old_term);
#else
    sigaction(SIGINT, &g_old_int, nullptr);
    sigaction(SIGTERM, &g_old_term, nullptr);
#endif
}

bool InterruptGuard::requested() { return g_interrupted != 0; }

int InterruptGuard::exit_status() { return 128 + int(g_interrupted); }

} // namespace seavast_app

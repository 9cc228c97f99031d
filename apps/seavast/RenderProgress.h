// What `seavast render` shows while it works: a progress bar on a terminal, per-frame times with
// --stats, and Ctrl-C turned into the host's interruption of the render.
#pragma once

#include <chrono>
#include <string>

namespace seavast_app {

// One line on the standard error stream, redrawn in place: frame k of n, the percent of the current
// frame from the effect's progress reports, elapsed and remaining time. Off: draws nothing.
class ProgressBar {
public:
    ProgressBar(bool on, long frames);
    void start_frame(long k, const std::string& name); // k counts from 0
    void frame_progress(long current, long total);     // the effect's report; redraws at most 10 times a second
    void end_frame();
    void finish(); // ends the line
    bool on() const { return on_; }

private:
    void draw();

    bool on_;
    long frames_;
    long k_ = 0;
    double fraction_ = 0.0; // of the current frame
    std::string name_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_draw_{};
    bool drawn_ = false;
};

// "1:05", "1:02:03": elapsed and remaining times of the bar.
std::string clock_text(double seconds);

// While alive, SIGINT (Ctrl-C) and SIGTERM set a flag instead of ending the process, so that the
// render can stop through the host's abort and leave no partial file; the old handlers come back.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
    static bool requested();
    // 128 + the signal's number (130 for Ctrl-C), as shells report a process the signal ended.
    static int exit_status();
};

} // namespace seavast_app

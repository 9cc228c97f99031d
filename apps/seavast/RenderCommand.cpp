// seavast render: frames of the effect written to image files, the plug-in driven as a host drives it.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "platform/HyFiles.h"
#include "Command.h"
#include "FramePattern.h"
#include "FrameWriter.h"
#include "ImageFiles.h"
#include "RenderProgress.h"
#include "Session.h"

namespace seavast_app {
namespace {

bool parse_size(const std::string& text, int* w, int* h)
{
    int a = 0, b = 0;
    char x = 0, extra = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c", &a, &x, &b, &extra) != 3 || (x != 'x' && x != 'X'))
        return false;
    if (a < 1 || b < 1 || a > 16384 || b > 16384)
        return false;
    *w = a;
    *h = b;
    return true;
}

class RenderCommand : public Command {
public:
    void add_options(CLI::App& cmd) override
    {
        cmd.add_option("-o,--output", output_,
                       "Image file: .png, .tif or .exr; # runs or %04d become the frame number")
            ->required()
            ->type_name("FILE");
        cmd.add_option("--size", size_, "Output size in pixels")->capture_default_str()->type_name("WxH");
        auto* time = cmd.add_option("--time", time_, "Time of a single frame in seconds (exact decimal)")
                         ->type_name("SECONDS");
        auto* frames =
            cmd.add_option("--frames", frames_, "Frame range, e.g. 0-99, or every STEP-th frame: 0-99:5")
                ->type_name("A-B[:STEP]");
        time->excludes(frames);
        cmd.add_option("--fps", fps_, "Frames per second for --frames")->capture_default_str();
        cmd.add_option("--mode", mode_, "\"Render Mode:\" by its text (\"Grayscale [Icons]\") or number")
            ->type_name("NAME");
        for (int m = 0; m < 3; ++m)
            cmd.add_option("--map" + std::to_string(m + 1), maps_[m],
                           "Image for the layer of image map " + std::to_string(m + 1) +
                               " (# runs: an image sequence by frame number)")
                ->type_name("IMAGE");
        cmd.add_flag("-q,--quiet", quiet_, "No progress bar");
        cmd.add_flag("--stats", stats_, "Print each frame's render time (seconds) on standard output");
        cmd.add_option("--threads", threads_, "Threads inside a frame (default: all cores, or $SEAVAST_THREADS)")
            ->check(CLI::Range(1, 1024))
            ->type_name("N");
        cmd.add_option("--compression", compression_, "PNG compression level, 0 (none) to 9 (smallest, slowest)")
            ->capture_default_str()
            ->check(CLI::Range(0, 9));
        add_param_options(cmd, params_);
    }

    int run(const CommonOptions& common) override
    {
        int width = 0, height = 0;
        if (!parse_size(size_, &width, &height))
            return fail("--size takes WIDTHxHEIGHT with each 1..16384, not \"" + size_ + "\"");
        if (!output_format_known(output_))
            return fail("cannot tell the image format of \"" + output_ + "\" (use .png, .tif or .exr)");

        // Host time: --time passes value / scale seconds exactly; frames count in steps of 1 / fps.
        FrameRange range;
        HostTime single;
        HostTime rate{30, 1};
        if (!frames_.empty()) {
            if (!parse_frame_range(frames_, &range))
                return fail("--frames takes A-B or A-B:STEP with 0 <= A <= B and STEP >= 1, not \"" + frames_ + "\"");
            if (!parse_time(fps_, &rate) || rate.value <= 0)
                return fail("--fps takes a positive decimal number, not \"" + fps_ + "\"");
        } else if (!time_.empty() && !parse_time(time_, &single)) {
            return fail("--time takes seconds as a decimal number (up to 6 decimals), not \"" + time_ + "\"");
        }
        {
            // Refuse an output nobody can write before spending time on the frames.
            std::string first_name;
            expand_frame_pattern(output_, range.first, &first_name);
            const std::string e = check_writable(first_name);
            if (!e.empty())
                return fail(e);
        }
        std::string probe;
        const bool pattern = expand_frame_pattern(output_, 0, &probe);
        if (range.count() > 1 && !pattern)
            return fail("rendering several frames needs # or %04d in the output name, e.g. sea.####.png");

        // The plug-in sizes its thread pool from the environment when it first renders.
        if (threads_ > 0)
            hyplat::set_environment("SEAVAST_THREADS", std::to_string(threads_));

        Session session;
        if (!session.open(common, params_, width, height))
            return kExitFailure;
        hostkit::Host& host = session.host();

        const int modeIndex = session.render_mode_index();
        if (!mode_.empty()) {
            const int choice = render_mode_choice(mode_);
            if (choice == 0)
                return fail("unknown render mode \"" + mode_ + "\" (see \"Render Mode:\" in `seavast params`)");
            host.set_int(modeIndex, choice);
        }

        // Image-map layers: one image, or one per frame when the name has # runs.
        hostkit::World layers[3];
        bool sequence[3] = {false, false, false};
        for (int m = 0; m < 3; ++m) {
            if (maps_[m].empty())
                continue;
            std::string name;
            sequence[m] = expand_frame_pattern(maps_[m], range.first, &name);
            if (!sequence[m]) {
                const std::string e = read_layer_image(maps_[m], &layers[m]);
                if (!e.empty())
                    return fail(e);
            }
        }

        // Ctrl-C answers the plug-in's next progress report or abort check with the host's cancel.
        InterruptGuard interrupt;
        const long total = range.count();
        ProgressBar progress(!quiet_ && ::isatty(STDERR_FILENO), total);
        host.config().log_progress = false;
        host.config().harness_checks = false;
        host.set_progress_listener([&](A_long current, A_long whole) {
            progress.frame_progress(current, whole);
            return InterruptGuard::requested() ? PF_Interrupt_CANCEL : PF_Err_NONE;
        });
        double total_seconds = 0.0;
        FrameWriter writer(compression_);
        for (long k = 0; k < total; ++k) {
            const long f = range.first + k * range.step;
            if (InterruptGuard::requested()) {
                writer.finish();
                return interrupted(progress);
            }
            HostTime t = single;
            if (!frames_.empty()) {
                // fps = value / scale: a frame lasts scale / value seconds.
                host.config().time_scale = A_u_long(rate.value);
                host.config().time_step = A_long(rate.scale);
                host.config().current_time = A_long(f * long(rate.scale));
                host.config().local_time_step = host.config().time_step;
                host.config().total_time = host.config().current_time + host.config().time_step;
            } else {
                hostkit::set_frame_time(host.config(), t);
            }
            const double seconds = double(host.config().current_time) / double(host.config().time_scale);
            session.apply_settings(seconds);

            for (int m = 0; m < 3; ++m) {
                const int index = session.index_of_row(layer_row(m));
                if (maps_[m].empty()) {
                    host.set_layer(index, nullptr);
                    continue;
                }
                if (sequence[m]) {
                    std::string name;
                    expand_frame_pattern(maps_[m], f, &name);
                    const std::string e = read_layer_image(name, &layers[m]);
                    if (!e.empty()) {
                        progress.finish();
                        return fail(e);
                    }
                }
                host.set_layer(index, &layers[m]);
            }

            std::string path = output_;
            expand_frame_pattern(output_, f, &path);
            progress.start_frame(k, path);
            hostkit::World out(width, height);
            const auto started = std::chrono::steady_clock::now();
            const PF_Err err = host.render(out);
            const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            if (InterruptGuard::requested()) {
                writer.finish();
                return interrupted(progress);
            }
            if (err != PF_Err_NONE || (host.out_data().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE)) {
                writer.finish();
                progress.finish();
                const std::string what = err != PF_Err_NONE ? "answered " + plugin_error_text(err, host)
                                                            : "reported \"" + host.message() + "\"";
                return fail("the plug-in " + what + " at " + std::to_string(seconds) + " s; " + path +
                            " was not written");
            }
            const std::string e = writer.write(path, std::move(out));
            if (!e.empty()) {
                progress.finish();
                return fail(e);
            }
            progress.end_frame();
            total_seconds += took;
            if (stats_) {
                // Above the bar's line, which the next frame redraws.
                if (progress.on())
                    std::fprintf(stderr, "\r\x1b[K");
                std::printf("frame %ld %.3f s %s\n", f, took, path.c_str());
                std::fflush(stdout);
            }
        }
        if (const std::string e = writer.finish(); !e.empty()) {
            progress.finish();
            return fail(e);
        }
        progress.finish();
        if (stats_)
            std::printf("%ld frames %.3f s, %.3f s per frame\n", total, total_seconds, total_seconds / double(total));
        return report_misuse(host) ? kExitOk : kExitFailure;
    }

private:
    // The frame in hand is dropped: nothing was written for it.
    static int interrupted(ProgressBar& progress)
    {
        progress.finish();
        std::fprintf(stderr, "seavast: interrupted; the frame in progress was not written\n");
        return InterruptGuard::exit_status();
    }

    static int layer_row(int map)
    {
        const auto& t = ParamTable();
        for (int r = 0; r < kParamCountWithGroups; ++r)
            if (t[std::size_t(r)].kind == kParamLayer && t[std::size_t(r)].mapNumber == map + 1)
                return r;
        return 0;
    }

    std::string output_;
    std::string size_ = "640x360";
    std::string time_;
    std::string frames_;
    std::string fps_ = "30";
    std::string mode_;
    std::string maps_[3];
    bool quiet_ = false;
    bool stats_ = false;
    int threads_ = 0;
    int compression_ = kDefaultPngCompression;
    ParamOptions params_;
};

SEAVAST_COMMAND(RenderCommand, "render", "Render frames of the effect to PNG, TIFF or EXR files", 30);

} // namespace
} // namespace seavast_app

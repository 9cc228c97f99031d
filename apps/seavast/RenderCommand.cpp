// seavast render: frames of the effect written to image files, the plug-in driven as a host drives it.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "Command.h"
#include "FrameWriter.h"
#include "ImageFiles.h"
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

bool parse_frames(const std::string& text, long* a, long* b)
{
    long x = 0, y = 0;
    char dash = 0, extra = 0;
    const int n = std::sscanf(text.c_str(), "%ld%c%ld%c", &x, &dash, &y, &extra);
    if (n == 1) {
        *a = *b = x;
        return x >= 0;
    }
    if (n != 3 || dash != '-' || x < 0 || y < x)
        return false;
    *a = x;
    *b = y;
    return true;
}

class Progress {
public:
    explicit Progress(bool on) : on_(on) {}
    void show(long done, long total, const std::string& what)
    {
        if (!on_)
            return;
        constexpr int kWidth = 30;
        const int filled = total > 0 ? int(kWidth * done / total) : kWidth;
        std::string bar(std::size_t(filled), '#');
        bar.resize(kWidth, '.');
        std::fprintf(stderr, "\rseavast: [%s] %ld/%ld %s\x1b[K", bar.c_str(), done, total, what.c_str());
        std::fflush(stderr);
    }
    void done()
    {
        if (on_)
            std::fprintf(stderr, "\n");
    }

private:
    bool on_;
};

class RenderCommand : public Command {
public:
    void add_options(CLI::App& cmd) override
    {
        cmd.add_option("-o,--output", output_, "Image file: .png, .tif or .exr; # runs become the frame number")
            ->required()
            ->type_name("FILE");
        cmd.add_option("--size", size_, "Output size in pixels")->capture_default_str()->type_name("WxH");
        auto* time = cmd.add_option("--time", time_, "Time of a single frame in seconds (exact decimal)")
                         ->type_name("SECONDS");
        auto* frames = cmd.add_option("--frames", frames_, "Frame range, e.g. 0-99")->type_name("A-B");
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
        long first = 0, last = 0;
        HostTime single;
        HostTime rate{30, 1};
        if (!frames_.empty()) {
            if (!parse_frames(frames_, &first, &last))
                return fail("--frames takes A-B with 0 <= A <= B, not \"" + frames_ + "\"");
            if (!parse_time(fps_, &rate) || rate.value <= 0)
                return fail("--fps takes a positive decimal number, not \"" + fps_ + "\"");
        } else if (!time_.empty() && !parse_time(time_, &single)) {
            return fail("--time takes seconds as a decimal number (up to 6 decimals), not \"" + time_ + "\"");
        }
        {
            // Refuse an output nobody can write before spending time on the frames.
            std::string first_name;
            expand_frame_pattern(output_, first, &first_name);
            const std::string e = check_writable(first_name);
            if (!e.empty())
                return fail(e);
        }
        std::string probe;
        const bool pattern = expand_frame_pattern(output_, 0, &probe);
        if (last > first && !pattern)
            return fail("rendering several frames needs # in the output name, e.g. sea.####.png");

        // The plug-in sizes its thread pool from the environment when it first renders.
        if (threads_ > 0)
            ::setenv("SEAVAST_THREADS", std::to_string(threads_).c_str(), 1);

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
        const int mode = host.param(modeIndex).def.u.pd.value;
        if (!render_mode_available(mode))
            return fail(std::string("render mode \"") + render_mode_name(mode) +
                        "\" arrives with the scene renderer; this build draws \"" + render_mode_name(1) +
                        "\" and \"" + render_mode_name(2) + "\"");

        // Image-map layers: one image, or one per frame when the name has # runs.
        hostkit::World layers[3];
        bool sequence[3] = {false, false, false};
        for (int m = 0; m < 3; ++m) {
            if (maps_[m].empty())
                continue;
            std::string name;
            sequence[m] = expand_frame_pattern(maps_[m], first, &name);
            if (!sequence[m]) {
                const std::string e = read_layer_image(maps_[m], &layers[m]);
                if (!e.empty())
                    return fail(e);
            }
        }

        Progress progress(!quiet_ && ::isatty(STDERR_FILENO));
        const long total = last - first + 1;
        FrameWriter writer(compression_);
        for (long f = first; f <= last; ++f) {
            HostTime t = single;
            if (!frames_.empty()) {
                // fps = value / scale: a frame lasts scale / value seconds.
                host.config().time_scale = A_u_long(rate.value);
                host.config().time_step = A_long(rate.scale);
                host.config().current_time = A_long(f * long(rate.scale));
            } else {
                host.config().time_scale = t.scale;
                host.config().time_step = A_long(t.scale / 30 > 0 ? t.scale / 30 : 1);
                host.config().current_time = t.value;
            }
            host.config().local_time_step = host.config().time_step;
            host.config().total_time = host.config().current_time + host.config().time_step;
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
                        progress.done();
                        return fail(e);
                    }
                }
                host.set_layer(index, &layers[m]);
            }

            std::string path = output_;
            expand_frame_pattern(output_, f, &path);
            progress.show(f - first, total, path);
            hostkit::World out(width, height);
            const PF_Err err = host.render(out);
            if (err != PF_Err_NONE || (host.out_data().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE)) {
                writer.finish();
                progress.done();
                const std::string what = err != PF_Err_NONE ? "answered " + plugin_error_text(err, host)
                                                            : "reported \"" + host.message() + "\"";
                return fail("the plug-in " + what + " at " + std::to_string(seconds) + " s; " + path +
                            " was not written");
            }
            const std::string e = writer.write(path, std::move(out));
            if (!e.empty()) {
                progress.done();
                return fail(e);
            }
        }
        if (const std::string e = writer.finish(); !e.empty()) {
            progress.done();
            return fail(e);
        }
        progress.show(total, total, "done");
        progress.done();
        return report_misuse(host) ? kExitOk : kExitFailure;
    }

private:
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
    int threads_ = 0;
    int compression_ = kDefaultPngCompression;
    ParamOptions params_;
};

SEAVAST_COMMAND(RenderCommand, "render", "Render frames of the effect to PNG, TIFF or EXR files", 30);

} // namespace
} // namespace seavast_app

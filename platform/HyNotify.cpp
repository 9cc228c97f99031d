#include "platform/HyNotify.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <vector>

#if defined(_WIN32)
#include "platform/HyWin32.h"
#endif

namespace hyplat {
namespace {

HyNotifyAnswer answer_ok(const char*, const char*, void*) { return HyNotifyAnswer::Ok; }
void write_stderr(const char* text, void*)
{
#if defined(_WIN32)
    // The debugger's output window, as well as the console.
    OutputDebugStringW(widen(text).c_str());
#endif
    std::fputs(text, stderr);
    std::fflush(stderr);
}

std::atomic<bool> g_enabled{true};
// Notifications may come from any thread (tests, or engine code outside the entry lock).
std::mutex g_mutex;
HyNotifyResponder g_responder = answer_ok;
void* g_responder_user = nullptr;
HyDebugOutputSink g_sink = write_stderr;
void* g_sink_user = nullptr;

constexpr const char* kFrame = "OK\t= Continue\nCancel\t= No Notifications\n\n%s\n__________________________\n";
constexpr const char* kTitle = "Notification";

std::string vformat(const char* format, std::va_list args)
{
    if (format == nullptr)
        return {};
    std::va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0)
        return {};
    std::vector<char> buf(std::size_t(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, args);
    return std::string(buf.data(), std::size_t(n));
}

std::string format(const char* fmt, ...)
{
    std::va_list args;
    va_start(args, fmt);
    std::string s = vformat(fmt, args);
    va_end(args);
    return s;
}

} // namespace

void set_notify_responder(HyNotifyResponder responder, void* user)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_responder = responder ? responder : answer_ok;
    g_responder_user = responder ? user : nullptr;
}

void set_debug_output_sink(HyDebugOutputSink sink, void* user)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_sink = sink ? sink : write_stderr;
    g_sink_user = sink ? user : nullptr;
}

bool notifications_enabled() { return g_enabled.load(); }
void set_notifications_enabled(bool on) { g_enabled.store(on); }

std::string notify_frame(const char* message) { return format(kFrame, message ? message : ""); }

bool vnotify(const char* fmt, std::va_list args)
{
    if (!g_enabled.load())
        return false;
    const std::string text = notify_frame(vformat(fmt, args).c_str());
    std::lock_guard<std::mutex> lock(g_mutex);
    // A Cancel from another thread may have arrived while formatting.
    if (!g_enabled.load())
        return false;
    g_sink(text.c_str(), g_sink_user);
    if (g_responder(kTitle, text.c_str(), g_responder_user) == HyNotifyAnswer::Cancel)
        g_enabled.store(false);
    return true;
}

bool notify(const char* fmt, ...)
{
    std::va_list args;
    va_start(args, fmt);
    const bool shown = vnotify(fmt, args);
    va_end(args);
    return shown;
}

} // namespace hyplat

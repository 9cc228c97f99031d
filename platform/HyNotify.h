// Notification box: a message for the user that also goes to the debugger output.
//
// Headless build: the text goes to a debugger-output sink (standard error unless replaced; on Windows
// also the debugger's output) and a responder plays the user's part, answering OK or Cancel (OK unless
// replaced). Cancel means "no more notifications": the process-wide switch goes off and later
// notifications are dropped.
#pragma once

#include <cstdarg>
#include <string>

namespace hyplat {

enum class HyNotifyAnswer { Ok, Cancel };

// title: "Notification"; text: the framed message as the user would see it.
using HyNotifyResponder = HyNotifyAnswer (*)(const char* title, const char* text, void* user);
using HyDebugOutputSink = void (*)(const char* text, void* user);

// Null restores the default (answer OK / write to standard error).
void set_notify_responder(HyNotifyResponder responder, void* user);
void set_debug_output_sink(HyDebugOutputSink sink, void* user);

// Initially on; Cancel switches it off for the rest of the process. Tests may switch it back on.
bool notifications_enabled();
void set_notifications_enabled(bool on);

// The framed text shown for a message.
std::string notify_frame(const char* message);

// printf-style. Returns true when the notification was shown, false when notifications are off.
bool notify(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
bool vnotify(const char* format, std::va_list args);

} // namespace hyplat

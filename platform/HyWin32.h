// Windows-only helpers shared by the platform services and the host kit: text crosses into the
// system's wide-character interfaces as UTF-8 on our side and UTF-16 on theirs. Includes <windows.h>
// without its min and max macros and rarely used parts.
#pragma once

#if defined(_WIN32)

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <vector>

namespace hyplat {

// Conversions between UTF-8 and UTF-16; invalid sequences become U+FFFD.
std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);

// The program's arguments in UTF-8, read from the wide command line (the narrow argv of main is in
// the ANSI code page and loses other characters); the program name first.
std::vector<std::string> command_line_arguments();

// The system's text for an error code (GetLastError), one line, without the trailing full stop.
std::string system_error_text(unsigned long code);

} // namespace hyplat

#endif

// Key=value text: the grammar shared by the dialog layout texts and the preset files.
//
//   entry  := KEY "=" VALUE ";"
//
// A key is found only where it starts an entry: at the start of the search window, after a character
// whose code is below 33 (blank, newline, control), or after ";". So looking for "id" never matches
// "XID=" or "bmp_id=". The value runs from after "=" to the next ";" (or to the end of the window when
// a file was cut short). Integers convert like atoi (digits up to the first non-digit), reals like
// atof, but independently of the C locale and without undefined behaviour on overflow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CTokener {
public:
    static constexpr int kDefaultPrecision = 6;
    // Longest value text that is converted to a number; longer values are read by their prefix.
    static constexpr std::size_t kMaxNumberChars = 64;

    CTokener() = default;
    explicit CTokener(std::string text) : m_text(std::move(text)) {}

    void SetText(std::string text);
    const std::string& GetText() const { return m_text; }
    void Clear();

    // Search window [start, end) in bytes; end -1 means to the end of the text. Out-of-range values are
    // clamped to the text.
    void SetWindow(std::ptrdiff_t start, std::ptrdiff_t end = -1);
    void ResetWindow() { SetWindow(0, -1); }
    std::size_t WindowStart() const;
    std::size_t WindowEnd() const;

    void SetPrecision(int digits) { m_precision = digits < 0 ? 0 : (digits > 17 ? 17 : digits); }
    int GetPrecision() const { return m_precision; }

    // Position (in the text) of the first character of KEY's value, or npos when KEY has no entry in
    // the window. `key` is given without its "=".
    std::size_t FindValue(std::string_view key) const;
    // Position just behind the value's terminating ";" (or the window end), for walking blocks.
    std::size_t ValueEnd(std::size_t value_pos) const;

    // Readers: false (and `out` untouched) when the key is missing. Sets the found flag.
    bool GetInt(std::string_view key, std::int32_t& out);
    bool GetReal(std::string_view key, double& out);
    bool GetString(std::string_view key, std::string& out);

    // Writers append KEY=VALUE; at the end of the text.
    void PutInt(std::string_view key, std::int32_t value);
    void PutReal(std::string_view key, double value);
    void PutString(std::string_view key, std::string_view value);

    // Flags of the last read: whether the key was found, and whether its value had to be cut or was not
    // a clean number (garbage, overflow, not finite).
    bool LastFound() const { return m_found; }
    bool LastSuspect() const { return m_suspect; }

    // Conversions with atoi/atof semantics, exposed for the layout reader and tests.
    static std::int32_t ToInt(std::string_view text, bool* clean = nullptr);
    static double ToReal(std::string_view text, bool* clean = nullptr);
    // Fixed-point formatting with `precision` digits after the point, "C" locale always.
    static std::string FormatReal(double value, int precision);

private:
    std::string_view ValueText(std::size_t value_pos) const;
    // Finds KEY's value for a numeric read, cut to kMaxNumberChars; sets the found and suspect flags.
    bool FindNumber(std::string_view key, std::string_view& text);

    std::string m_text;
    std::ptrdiff_t m_start = 0;
    std::ptrdiff_t m_end = -1;
    int m_precision = kDefaultPrecision;
    bool m_found = false;
    bool m_suspect = false;
};

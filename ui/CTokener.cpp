#include "ui/CTokener.h"

#include <charconv>
#include <cmath>
#include <limits>

void CTokener::SetText(std::string text)
{
    m_text = std::move(text);
    ResetWindow();
}

void CTokener::Clear()
{
    m_text.clear();
    ResetWindow();
}

void CTokener::SetWindow(std::ptrdiff_t start, std::ptrdiff_t end)
{
    m_start = start < 0 ? 0 : start;
    m_end = end;
}

std::size_t CTokener::WindowStart() const
{
    const auto s = static_cast<std::size_t>(m_start);
    return s > m_text.size() ? m_text.size() : s;
}

std::size_t CTokener::WindowEnd() const
{
    if (m_end < 0)
        return m_text.size();
    const auto e = static_cast<std::size_t>(m_end);
    const std::size_t clamped = e > m_text.size() ? m_text.size() : e;
    return clamped < WindowStart() ? WindowStart() : clamped;
}

std::size_t CTokener::FindValue(std::string_view key) const
{
    const std::size_t start = WindowStart();
    const std::size_t end = WindowEnd();
    if (key.empty() || end - start < key.size() + 1)
        return std::string::npos;
    const std::string_view window(m_text.data() + start, end - start);
    std::size_t pos = 0;
    while ((pos = window.find(key, pos)) != std::string_view::npos) {
        const std::size_t eq = pos + key.size();
        if (eq >= window.size())
            return std::string::npos;
        const bool at_entry_start =
            pos == 0 || static_cast<unsigned char>(window[pos - 1]) < 33 || window[pos - 1] == ';';
        if (at_entry_start && window[eq] == '=')
            return start + eq + 1;
        ++pos;
    }
    return std::string::npos;
}

std::size_t CTokener::ValueEnd(std::size_t value_pos) const
{
    const std::size_t end = WindowEnd();
    if (value_pos >= end)
        return end;
    const std::size_t semi = m_text.find(';', value_pos);
    return (semi == std::string::npos || semi >= end) ? end : semi + 1;
}

std::string_view CTokener::ValueText(std::size_t value_pos) const
{
    const std::size_t end = WindowEnd();
    std::size_t stop = m_text.find(';', value_pos);
    if (stop == std::string::npos || stop > end)
        stop = end;
    return std::string_view(m_text.data() + value_pos, stop - value_pos);
}

std::int32_t CTokener::ToInt(std::string_view text, bool* clean)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    bool overflow = false;
    const std::size_t first_digit = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1) {
            overflow = true;
            value = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
        }
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        value = std::numeric_limits<std::int32_t>::max();
        overflow = true;
    }
    if (clean) {
        // A preset writes every number with six decimals, so "12.000000" is a clean integer.
        bool rest_ok = i > first_digit && !overflow;
        if (rest_ok && i < text.size() && text[i] == '.') {
            for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            }
        }
        *clean = rest_ok && i == text.size();
    }
    return static_cast<std::int32_t>(value);
}

double CTokener::ToReal(std::string_view text, bool* clean)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    if (i < text.size() && text[i] == '+')
        ++i;
    double value = 0.0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    bool ok = ec == std::errc() && ptr != first;
    if (ec == std::errc::result_out_of_range) {
        // atof gives +-HUGE_VAL or 0 here; a finite clamp is kinder to whoever reads the value.
        value = (first < last && *first == '-') ? -std::numeric_limits<double>::max()
                                                : std::numeric_limits<double>::max();
        ok = false;
    } else if (ec != std::errc()) {
        value = 0.0;
    }
    if (!std::isfinite(value)) {
        value = 0.0;
        ok = false;
    }
    if (clean)
        *clean = ok && ptr == last;
    return value;
}

std::string CTokener::FormatReal(double value, int precision)
{
    if (!std::isfinite(value))
        value = 0.0;
    char buf[400];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    if (ec != std::errc())
        return "0";
    std::string out(buf, ptr);
    // "-0.000000" reads back the same but looks like a bug in a preset file.
    if (out.front() == '-' && out.find_first_not_of("-0.") == std::string::npos)
        out.erase(0, 1);
    return out;
}

bool CTokener::FindNumber(std::string_view key, std::string_view& text)
{
    const std::size_t pos = FindValue(key);
    m_found = pos != std::string::npos;
    m_suspect = false;
    if (!m_found)
        return false;
    text = ValueText(pos);
    if (text.size() > kMaxNumberChars) {
        text = text.substr(0, kMaxNumberChars);
        m_suspect = true;
    }
    return true;
}

bool CTokener::GetInt(std::string_view key, std::int32_t& out)
{
    std::string_view v;
    if (!FindNumber(key, v))
        return false;
    bool clean = false;
    out = ToInt(v, &clean);
    m_suspect = m_suspect || !clean;
    return true;
}

bool CTokener::GetReal(std::string_view key, double& out)
{
    std::string_view v;
    if (!FindNumber(key, v))
        return false;
    bool clean = false;
    out = ToReal(v, &clean);
    m_suspect = m_suspect || !clean;
    return true;
}

bool CTokener::GetString(std::string_view key, std::string& out)
{
    const std::size_t pos = FindValue(key);
    m_found = pos != std::string::npos;
    m_suspect = false;
    if (!m_found)
        return false;
    out.assign(ValueText(pos));
    return true;
}

void CTokener::PutInt(std::string_view key, std::int32_t value)
{
    PutString(key, FormatReal(static_cast<double>(value), m_precision));
}

void CTokener::PutReal(std::string_view key, double value) { PutString(key, FormatReal(value, m_precision)); }

void CTokener::PutString(std::string_view key, std::string_view value)
{
    m_text.append(key);
    m_text.push_back('=');
    m_text.append(value);
    if (value.empty() || value.back() != ';')
        m_text.push_back(';');
}

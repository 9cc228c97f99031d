// Strings of the toolkit: an abstract text buffer with fixed-capacity variants (text beyond the capacity
// is cut at a character boundary) and a heap-growing one.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

class CString {
public:
    virtual ~CString() = default;
    virtual char* Buffer() = 0;
    virtual const char* Buffer() const = 0;
    // Largest number of bytes the text may have.
    virtual std::size_t Capacity() const = 0;

    std::string_view View() const { return Buffer(); }
    void Assign(std::string_view text);

protected:
    // Room for `bytes` bytes plus the terminator; returns what fits.
    virtual std::size_t Reserve(std::size_t bytes) = 0;
};

template <std::size_t N>
class CFixedString : public CString {
public:
    CFixedString() { m_text[0] = '\0'; }
    explicit CFixedString(std::string_view text) : CFixedString() { Assign(text); }
    char* Buffer() override { return m_text; }
    const char* Buffer() const override { return m_text; }
    std::size_t Capacity() const override { return N - 1; }

protected:
    std::size_t Reserve(std::size_t bytes) override { return bytes < N ? bytes : N - 1; }

private:
    char m_text[N];
};

using CString16 = CFixedString<16>;
using CString64 = CFixedString<64>;
using CString256 = CFixedString<256>;
using CString1024 = CFixedString<1024>;

class CDynamicString : public CString {
public:
    CDynamicString() = default;
    explicit CDynamicString(std::string_view text) { Assign(text); }
    char* Buffer() override { return m_text.data(); }
    const char* Buffer() const override { return m_text.c_str(); }
    std::size_t Capacity() const override { return m_text.max_size(); }

protected:
    std::size_t Reserve(std::size_t bytes) override
    {
        m_text.resize(bytes);
        return bytes;
    }

private:
    std::string m_text;
};

inline void CString::Assign(std::string_view text)
{
    std::size_t n = Reserve(text.size());
    // Never split a UTF-8 sequence when cutting.
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) >> 6) == 2)
            --n;
    std::memmove(Buffer(), text.data(), n);
    Buffer()[n] = '\0';
}

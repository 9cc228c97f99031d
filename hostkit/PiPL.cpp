#include "hostkit/PiPL.h"

#include <cstdio>

namespace hostkit {
namespace {

constexpr std::uint32_t code(const char (&c)[5])
{
    return (std::uint32_t(std::uint8_t(c[0])) << 24) | (std::uint32_t(std::uint8_t(c[1])) << 16) |
           (std::uint32_t(std::uint8_t(c[2])) << 8) | std::uint32_t(std::uint8_t(c[3]));
}

std::uint32_t le(const std::uint8_t* p, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint32_t(p[i]) << (8 * i);
    return v;
}

std::string number(std::uint32_t v, bool hex)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, hex ? "0x%08X" : "%u", v);
    return buf;
}

std::string quoted(const std::uint8_t* begin, std::size_t n)
{
    std::string s(1, '"');
    s.append(reinterpret_cast<const char*>(begin), n);
    s += '"';
    return s;
}

// The value of one property as text; "?" marks data too short for its kind.
std::string value_text(const PiPLProperty& p)
{
    const std::vector<std::uint8_t>& d = p.data;
    const std::uint32_t k = p.key;
    if (k == code("name") || k == code("catg") || k == code("eMNA")) {
        if (d.empty() || std::size_t(d[0]) + 1 > d.size())
            return "?";
        return quoted(d.data() + 1, d[0]);
    }
    if (k == code("8664")) {
        for (std::size_t n = 0; n < d.size(); ++n)
            if (d[n] == 0)
                return quoted(d.data(), n);
        return "?";
    }
    if (k == code("eINF"))
        return d.size() >= 2 ? number(le(d.data(), 2), false) : "?";
    if (d.size() < 4)
        return "?";
    const std::uint32_t v = le(d.data(), 4);
    if (k == code("kind"))
        return fourcc_text(v);
    if (k == code("ePVR") || k == code("eSVR"))
        return std::to_string(v >> 16) + "." + std::to_string(v & 0xFFFF);
    // Versions and flag words read best in hexadecimal.
    return number(v, k == code("eVER") || k == code("eGLO") || k == code("eGL2"));
}

} // namespace

std::string fourcc_text(std::uint32_t c)
{
    return {char(c >> 24), char(c >> 16), char(c >> 8), char(c)};
}

bool decode_pipl(const std::uint8_t* bytes, std::size_t size, PiPLList* out, std::string* error)
{
    auto refuse = [&](const std::string& why) {
        if (error)
            *error = "malformed plug-in property list: " + why;
        return false;
    };
    if (bytes == nullptr || size < 10)
        return refuse("shorter than its header");
    PiPLList list;
    list.resource_version = std::uint16_t(le(bytes, 2));
    list.list_version = std::int32_t(le(bytes + 2, 4));
    const std::uint32_t count = le(bytes + 6, 4);
    std::size_t at = 10;
    // Each property needs at least its 16-byte header, which bounds a hostile count.
    if (count > (size - at) / 16)
        return refuse("count " + std::to_string(count) + " does not fit in " + std::to_string(size) + " bytes");
    for (std::uint32_t i = 0; i < count; ++i) {
        if (size - at < 16)
            return refuse("property " + std::to_string(i) + " is cut short");
        PiPLProperty p;
        p.vendor = le(bytes + at, 4);
        p.key = le(bytes + at + 4, 4);
        p.id = std::int32_t(le(bytes + at + 8, 4));
        const std::uint32_t length = le(bytes + at + 12, 4);
        at += 16;
        if (length % 4 != 0)
            return refuse("property '" + fourcc_text(p.key) + "' has length " + std::to_string(length) +
                          ", not a multiple of 4");
        if (length > size - at)
            return refuse("property '" + fourcc_text(p.key) + "' runs past the end");
        p.data.assign(bytes + at, bytes + at + length);
        at += length;
        list.properties.push_back(std::move(p));
    }
    *out = std::move(list);
    return true;
}

const PiPLProperty* find_property(const PiPLList& list, std::uint32_t key)
{
    for (const PiPLProperty& p : list.properties)
        if (p.key == key)
            return &p;
    return nullptr;
}

std::string windows_entry_point(const PiPLList& list)
{
    const PiPLProperty* p = find_property(list, code("8664"));
    if (p == nullptr)
        return {};
    const std::string v = value_text(*p);
    return v.size() >= 2 && v.front() == '"' ? v.substr(1, v.size() - 2) : std::string();
}

std::string pipl_report(const PiPLList& list)
{
    std::string s = "version " + std::to_string(list.resource_version) + " list " +
                    std::to_string(list.list_version) + " properties " + std::to_string(list.properties.size()) +
                    "\n";
    for (const PiPLProperty& p : list.properties) {
        s += fourcc_text(p.vendor) + "\t" + fourcc_text(p.key) + "\t" + value_text(p);
        if (p.id != 0)
            s += "\tid " + std::to_string(p.id);
        s += "\n";
    }
    return s;
}

} // namespace hostkit

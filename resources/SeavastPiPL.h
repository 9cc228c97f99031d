// The plug-in property list (resource type 'PiPL', id 16000, language 1033): how a host finds the
// effect, its name, category, entry point, versions and global flags, before loading the module.
//
// The readable definition is kPiPLProperties below; EncodePiPL() turns it into the resource bytes at
// compile time, and the generator program writes them to a file for the Windows resource script.
//
// Binary layout (little-endian, as Windows resources are):
//   uint16 resource version (1), int32 list version (0), int32 property count,
//   then per property: uint32 vendor code, uint32 key, int32 id (0), int32 data length,
//   data padded with zero bytes to a multiple of 4 (the length counts the padding).
// Four-character codes are stored as the 32-bit value of the code ('8BIM' = 0x3842494D).
// Strings: 'name', 'catg' and 'eMNA' are length-prefixed (one byte), the entry point is
// zero-terminated. 'ePVR' and 'eSVR' hold major << 16 | minor; 'eINF' is 16 bits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pipl {

constexpr std::uint32_t code(const char (&c)[5])
{
    return (std::uint32_t(std::uint8_t(c[0])) << 24) | (std::uint32_t(std::uint8_t(c[1])) << 16) |
           (std::uint32_t(std::uint8_t(c[2])) << 8) | std::uint32_t(std::uint8_t(c[3]));
}

enum class Kind : std::uint8_t { Code, PascalString, CString, Int32, Int16, Version };

struct Property {
    std::uint32_t key;
    Kind kind;
    std::uint32_t value;    // Code, Int32, Int16; Version: major
    std::uint32_t value2;   // Version: minor
    std::string_view text;  // strings
};

constexpr std::uint16_t kResourceVersion = 1;
constexpr std::int32_t kListVersion = 0;
constexpr std::int32_t kResourceId = 16000;
constexpr std::int32_t kResourceLanguage = 1033;
constexpr std::uint32_t kVendor = code("8BIM");

constexpr Property kPiPLProperties[] = {
    {code("kind"), Kind::Code, code("eFKT"), 0, {}},                 // an effect
    {code("name"), Kind::PascalString, 0, 0, "Seavast"},
    {code("catg"), Kind::PascalString, 0, 0, "Bluefen Seavast"},
    {code("8664"), Kind::CString, 0, 0, "PluginEntry"},              // Windows x64 entry point
    {code("ePVR"), Kind::Version, 2, 0, {}},
    {code("eSVR"), Kind::Version, 13, 0, {}},
    {code("eVER"), Kind::Int32, 0x000A4600, 0, {}},                  // 1.4.8 release, as at global setup
    {code("eINF"), Kind::Int16, 0, 0, {}},
    // KEEP_RESOURCE_OPEN | NON_PARAM_VARY | SEQUENCE_DATA_NEEDS_FLATTENING | CUSTOM_UI |
    // PiPL_OVERRIDES_OUTDATA_OUTFLAGS: the host takes these instead of the global-setup out-flags.
    {code("eGLO"), Kind::Int32, 0x00808015, 0, {}},
    // SUPPORTS_QUERY_DYNAMIC_FLAGS | PPRO_DO_NOT_CLONE_SEQUENCE_DATA_FOR_RENDER
    {code("eGL2"), Kind::Int32, 0x00008001, 0, {}},
    {code("eMNA"), Kind::PascalString, 0, 0, "Corvane_Brinewave_01"}, // match name
    {code("aeFL"), Kind::Int32, 8, 0, {}},
    {code("aeRD"), Kind::Int32, 0, 0, {}},
};
constexpr std::size_t kPropertyCount = sizeof(kPiPLProperties) / sizeof(kPiPLProperties[0]);

constexpr std::size_t pad4(std::size_t n) { return (n + 3) & ~std::size_t(3); }

constexpr std::size_t data_size(const Property& p)
{
    switch (p.kind) {
    case Kind::PascalString:
        return 1 + p.text.size();
    case Kind::CString:
        return p.text.size() + 1;
    case Kind::Int16:
        return 2;
    default:
        return 4;
    }
}

constexpr std::size_t encoded_size()
{
    std::size_t n = 2 + 4 + 4;
    for (const Property& p : kPiPLProperties)
        n += 16 + pad4(data_size(p));
    return n;
}

constexpr std::size_t kEncodedSize = encoded_size();

constexpr std::array<std::uint8_t, kEncodedSize> EncodePiPL()
{
    std::array<std::uint8_t, kEncodedSize> out{};
    std::size_t at = 0;
    auto u8 = [&](std::uint32_t v) { out[at++] = std::uint8_t(v); };
    auto u16 = [&](std::uint32_t v) {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    u16(kResourceVersion);
    u32(std::uint32_t(kListVersion));
    u32(std::uint32_t(kPropertyCount));
    for (const Property& p : kPiPLProperties) {
        const std::size_t size = data_size(p);
        u32(kVendor);
        u32(p.key);
        u32(0);
        u32(std::uint32_t(pad4(size)));
        const std::size_t start = at;
        switch (p.kind) {
        case Kind::Code:
        case Kind::Int32:
            u32(p.value);
            break;
        case Kind::Int16:
            u16(p.value);
            break;
        case Kind::Version:
            u32((p.value << 16) | (p.value2 & 0xFFFF));
            break;
        case Kind::PascalString:
            u8(std::uint32_t(p.text.size()));
            for (char c : p.text)
                u8(std::uint8_t(c));
            break;
        case Kind::CString:
            for (char c : p.text)
                u8(std::uint8_t(c));
            u8(0);
            break;
        }
        at = start + pad4(size); // padding bytes are already zero
    }
    return out;
}

inline constexpr std::array<std::uint8_t, kEncodedSize> kPiPLBytes = EncodePiPL();

} // namespace pipl

// Reading a plug-in property list as a host does, from the bytes of the module's resource
// (type "PiPL", id 16000), independently of the plug-in's own encoder.
//
// Layout (little-endian): uint16 resource version, int32 list version, int32 count, then per property
// uint32 vendor code, uint32 key, int32 id, int32 length, and length bytes of data (a multiple of 4).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hostkit {

struct PiPLProperty {
    std::uint32_t vendor = 0;
    std::uint32_t key = 0;
    std::int32_t id = 0;
    std::vector<std::uint8_t> data; // padding included
};

struct PiPLList {
    std::uint16_t resource_version = 0;
    std::int32_t list_version = 0;
    std::vector<PiPLProperty> properties; // in resource order
};

constexpr std::int32_t kPiPLResourceId = 16000;
constexpr std::uint16_t kPiPLLanguage = 1033;

// False with a one-line reason when the bytes are not a complete property list.
bool decode_pipl(const std::uint8_t* bytes, std::size_t size, PiPLList* out, std::string* error);

// "8BIM" for 0x3842494D.
std::string fourcc_text(std::uint32_t code);

// The first property with this key, or null.
const PiPLProperty* find_property(const PiPLList& list, std::uint32_t key);

// The Windows x64 entry point ('8664', zero-terminated); empty when there is none.
std::string windows_entry_point(const PiPLList& list);

// One header line, then one tab-separated line per property: vendor, key, value. Values are written
// by the key's kind: four-character codes, "quoted" strings, major.minor versions, the version word
// and flag words in hexadecimal (0x%08X), other numbers in decimal.
std::string pipl_report(const PiPLList& list);

} // namespace hostkit

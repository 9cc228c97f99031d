// libFuzzer target for the preset reader: any text must be read or refused without a crash or a hang;
// what was read is written back as preset text that reads again to the same values.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "host/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CSettings s;
    SettingsSetDefaults(s);
    std::vector<std::string> warnings;
    // The first byte picks the groups, so partial loads are covered too.
    const std::uint32_t mask = size ? (data[0] == 0xFF ? 0xFFFFu : (std::uint32_t(data[0]) * 0x101u) & 0xFFFu) : 0xFFFFu;
    if (!PresetRead(text, mask, s, &warnings))
        return 0;
    for (const PresetEntry& e : PresetEntries(text))
        if (e.found && e.key.empty())
            std::abort();
    const std::string written = PresetText(s);
    CSettings again;
    SettingsSetDefaults(again);
    if (!PresetRead(written, 0xFFFF, again, nullptr) || PresetText(again) != written)
        std::abort();
    return 0;
}

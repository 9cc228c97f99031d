// The encoded property list read back with the host kit's own reader and compared with the published
// table in data/pipl_properties.txt (which the Windows check compares with the built DLL's resource).
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "hostkit/PiPL.h"
#include "resources/SeavastPiPL.h"
#include "sdk/AE_Effect.h"

TEST(PiPL, DecodesToThePublishedTable)
{
    const auto& bytes = pipl::kPiPLBytes;
    hostkit::PiPLList list;
    std::string error;
    ASSERT_TRUE(hostkit::decode_pipl(bytes.data(), bytes.size(), &list, &error)) << error;

    std::ifstream in(SEAVAST_SOURCE_DIR "/tests/host/data/pipl_properties.txt", std::ios::binary);
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(hostkit::pipl_report(list), expected.str());

    std::size_t total = 10;
    for (const hostkit::PiPLProperty& p : list.properties) {
        total += 16 + p.data.size();
        // Strings end in zero padding (the length counts it).
        const std::string key = hostkit::fourcc_text(p.key);
        if (key == "name" || key == "catg" || key == "eMNA") {
            for (std::size_t i = std::size_t(p.data.at(0)) + 1; i < p.data.size(); ++i)
                EXPECT_EQ(p.data[i], 0) << key << " padding";
        }
    }
    EXPECT_EQ(total, bytes.size()); // nothing left over
    EXPECT_EQ(hostkit::windows_entry_point(list), PF_ENTRY_POINT_NAME);
    EXPECT_EQ(pipl::kResourceId, hostkit::kPiPLResourceId);
    EXPECT_EQ(pipl::kResourceLanguage, hostkit::kPiPLLanguage);
}

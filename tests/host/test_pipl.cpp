// The encoded property list read back with the host kit's reader (written apart from the encoder) and
// compared with the published table, kept as text in data/pipl_properties.txt. The Windows check
// compares the resource read from the built DLL with the same file.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

TEST(PiPL, ReaderRefusesMalformedLists)
{
    // Header: version 1, list 0, count; one property 'kind' of length 4.
    const std::vector<std::uint8_t> good = {1,   0,   0,   0, 0, 0, 1, 0, 0, 0, 'M', 'I', 'B', '8', 'd',
                                            'n', 'i', 'k', 0, 0, 0, 0, 4, 0, 0, 0,   'T', 'K', 'F', 'e'};
    struct Case {
        const char* what;
        std::size_t size;
        std::size_t at; // byte to replace (size for none)
        std::uint8_t value;
    };
    const Case cases[] = {
        {"well formed", good.size(), good.size(), 0},
        {"header cut", 9, good.size(), 0},
        {"count beyond the data", good.size(), 6, 2},
        {"length not a multiple of 4", good.size(), 22, 3},
        {"data past the end", good.size() - 4, good.size(), 0},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes(good.begin(), good.begin() + std::ptrdiff_t(c.size));
        if (c.at < bytes.size())
            bytes[c.at] = c.value;
        hostkit::PiPLList list;
        std::string error;
        const bool ok = hostkit::decode_pipl(bytes.data(), bytes.size(), &list, &error);
        EXPECT_EQ(ok, c.at == good.size() && c.size == good.size()) << c.what << ": " << error;
        if (ok) {
            EXPECT_EQ(hostkit::pipl_report(list), "version 1 list 0 properties 1\n8BIM\tkind\teFKT\n");
        } else {
            EXPECT_NE(error.find("malformed plug-in property list"), std::string::npos) << c.what;
        }
    }
}

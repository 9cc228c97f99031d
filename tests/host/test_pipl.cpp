// Decodes the property list bytes with a reader written here, independently of the encoder, and
// compares them with the published property table.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "resources/SeavastPiPL.h"
#include "sdk/AE_Effect.h"

namespace {

struct Reader {
    const std::uint8_t* p;
    std::size_t n;
    std::size_t at = 0;
    bool ok = true;
    std::uint32_t u(int bytes)
    {
        if (at + std::size_t(bytes) > n) {
            ok = false;
            return 0;
        }
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= std::uint32_t(p[at + std::size_t(i)]) << (8 * i);
        at += std::size_t(bytes);
        return v;
    }
};

std::string fourcc(std::uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

struct Decoded {
    std::uint32_t vendor, id;
    std::vector<std::uint8_t> data;
};

} // namespace

TEST(PiPL, DecodesToThePublishedTable)
{
    const auto& bytes = pipl::kPiPLBytes;
    Reader r{bytes.data(), bytes.size()};
    EXPECT_EQ(r.u(2), 1u);  // resource version
    EXPECT_EQ(r.u(4), 0u);  // list version
    const std::uint32_t count = r.u(4);
    ASSERT_EQ(count, 13u);

    std::vector<std::string> order;
    std::map<std::string, Decoded> props;
    for (std::uint32_t i = 0; i < count; ++i) {
        Decoded d;
        d.vendor = r.u(4);
        const std::string key = fourcc(r.u(4));
        d.id = r.u(4);
        const std::uint32_t len = r.u(4);
        ASSERT_EQ(len % 4, 0u) << key;
        ASSERT_LE(r.at + len, bytes.size()) << key;
        d.data.assign(bytes.begin() + std::ptrdiff_t(r.at), bytes.begin() + std::ptrdiff_t(r.at + len));
        r.at += len;
        order.push_back(key);
        props[key] = d;
    }
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.at, bytes.size()); // nothing left over

    const std::vector<std::string> expectedOrder = {"kind", "name", "catg", "8664", "ePVR", "eSVR", "eVER",
                                                    "eINF", "eGLO", "eGL2", "eMNA", "aeFL", "aeRD"};
    EXPECT_EQ(order, expectedOrder);
    for (auto& [key, d] : props) {
        EXPECT_EQ(fourcc(d.vendor), "8BIM") << key;
        EXPECT_EQ(d.id, 0u) << key;
    }
    auto u32 = [&](const std::string& k) {
        Reader rr{props[k].data.data(), props[k].data.size()};
        return rr.u(4);
    };
    auto pascal = [&](const std::string& k) {
        const auto& v = props[k].data;
        const std::size_t n = v.at(0);
        EXPECT_LE(n + 1, v.size()) << k;
        for (std::size_t i = n + 1; i < v.size(); ++i)
            EXPECT_EQ(v[i], 0) << k << " padding";
        return std::string(v.begin() + 1, v.begin() + std::ptrdiff_t(n + 1));
    };
    EXPECT_EQ(fourcc(u32("kind")), "eFKT");
    EXPECT_EQ(pascal("name"), "Seavast");
    EXPECT_EQ(pascal("catg"), "Bluefen Seavast");
    EXPECT_EQ(pascal("eMNA"), "Corvane_Brinewave_01");
    const auto& entry = props["8664"].data;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry.data())), PF_ENTRY_POINT_NAME);
    EXPECT_EQ(u32("ePVR"), (2u << 16) | 0u);
    EXPECT_EQ(u32("eSVR"), (13u << 16) | 0u);
    EXPECT_EQ(u32("eVER"), PF_VERSION(1, 4, 8, PF_Stage_RELEASE, 0));
    EXPECT_EQ(props["eINF"].data.size(), 4u); // 16 bits, padded
    EXPECT_EQ(props["eINF"].data[0] | props["eINF"].data[1], 0);
    EXPECT_EQ(u32("eGLO"), std::uint32_t(PF_OutFlag_KEEP_RESOURCE_OPEN | PF_OutFlag_NON_PARAM_VARY |
                                          PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING | PF_OutFlag_CUSTOM_UI |
                                          PF_OutFlag_PiPL_OVERRIDES_OUTDATA_OUTFLAGS));
    EXPECT_EQ(u32("eGL2"), std::uint32_t(PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS |
                                          PF_OutFlag2_PPRO_DO_NOT_CLONE_SEQUENCE_DATA_FOR_RENDER));
    EXPECT_EQ(u32("aeFL"), 8u);
    EXPECT_EQ(u32("aeRD"), 0u);
    EXPECT_EQ(pipl::kResourceId, 16000);
    EXPECT_EQ(pipl::kResourceLanguage, 1033);
}

// The suite cache and the custom-UI suite set against a counting broker.
#include <gtest/gtest.h>

#include <set>

#include "FakeHost.h"
#include "host/CSuiteCache.h"

TEST(SuiteCache, AcquiresOnFirstUseAndReleasesEverythingAsDoesTheCustomUISet)
{
    try {
        CSuiteCache c(nullptr);
        ADD_FAILURE() << "a cache without a broker";
    } catch (const CHostError& e) {
        EXPECT_EQ(e.code, PF_Err_BAD_CALLBACK_PARAM);
    }
    FakeHost h;
    {
        CSuiteCache cache(&h.broker);
        EXPECT_EQ(cache.AppSuite(), &h.app);
        EXPECT_EQ(cache.AppSuite(), &h.app);
        EXPECT_EQ(h.acquired[kPFAppSuite], 1); // kept, not acquired again
        EXPECT_NE(cache.Get(HostSuite::DrawbotPath), nullptr);
        EXPECT_EQ(cache.Get(HostSuite::AEGPLayer), nullptr); // the fake does not offer it
        EXPECT_EQ(cache.Get(HostSuite::AEGPLayer), nullptr);
        EXPECT_EQ(h.unknownSuites.size(), 2u); // asked again: a refused suite is not cached
        EXPECT_EQ(cache.AcquiredCount(), 2);
        EXPECT_EQ(h.TotalReleased(), 0);
    }
    EXPECT_EQ(h.released[kPFAppSuite], 1);
    EXPECT_EQ(h.released[kDRAWBOT_PathSuite], 1);
    EXPECT_EQ(h.TotalAcquired(), h.TotalReleased());

    // The cache knows every suite by its published name, each once.
    std::set<std::string> names;
    for (int i = 0; i < kHostSuiteCount; ++i) {
        const HostSuiteInfo& s = GetHostSuiteInfo(HostSuite(i));
        ASSERT_NE(s.name, nullptr);
        EXPECT_GT(s.version, 0);
        EXPECT_TRUE(names.insert(s.name).second) << s.name;
    }
    EXPECT_EQ(kHostSuiteCount, 68);
    EXPECT_STREQ(GetHostSuiteInfo(HostSuite::App).name, "PF AE App Suite");
    EXPECT_EQ(GetHostSuiteInfo(HostSuite::App).version, 6);
    EXPECT_STREQ(GetHostSuiteInfo(HostSuite::Iterate16).name, "PF iterate16 Suite");
    EXPECT_STREQ(GetHostSuiteInfo(HostSuite::AEGPPersistentData).name, "AEGP Persistent Data Suite");

    // The custom-UI suite set: five suites taken and given back, after the cache's two.
    CCustomUISuiteSet set;
    EXPECT_EQ(set.Acquire(&h.broker, &h.out), PF_Err_NONE);
    for (const void* s : {(const void*)set.customUI, (const void*)set.draw, (const void*)set.supplier,
                          (const void*)set.surface, (const void*)set.path})
        EXPECT_NE(s, nullptr);
    EXPECT_EQ(h.TotalAcquired(), 2 + 5);
    EXPECT_EQ(set.Release(&h.out), PF_Err_NONE);
    EXPECT_EQ(h.TotalReleased(), 2 + 5);
    EXPECT_EQ(set.customUI, nullptr);

    // Released once only. Without a broker nothing is kept and the messages say why (a host without one
    // of the drawing suites is met through the presets panel).
    EXPECT_EQ(set.Release(&h.out), PF_Err_NONE);
    EXPECT_EQ(h.TotalReleased(), 2 + 5);
    PF_OutData out{};
    EXPECT_EQ(set.Acquire(nullptr, &out), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_STREQ(out.return_msg, "Not able to acquire AEFX Suite.");
    EXPECT_EQ(out.out_flags, PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    out = PF_OutData{};
    EXPECT_EQ(set.Release(&out), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_STREQ(out.return_msg, "Not able to release AEFX Suite.");
    EXPECT_EQ(h.TotalAcquired(), h.TotalReleased());
}

// PluginEntry through its C signature with the in-process fake host: the process-wide state behind the
// entry and what only a fake host can arrange (the real module's lifetime is seen in the host kit's tests),
// and the suite cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <set>

#include "FakeHost.h"
#include "host/CAEHost.h"
#include "host/CEffectVaskel1.h"
#include "host/CPresetsPanel.h"
#include "host/CSuiteCache.h"
#include "host/PluginState.h"
#include "hostkit/World.h"
#include "platform/HyMemory.h"
#include "platform/HyScreen.h"

namespace {

PF_Err Call(PF_Cmd cmd, FakeHost& h, PF_LayerDef* output = nullptr, void* extra = nullptr)
{
    h.Use();
    return PluginEntry(cmd, &h.in, &h.out, h.Params(), output, extra);
}

// Brings the process-wide state back to "nothing created, count 0".
void ResetPlugin()
{
    FakeHost h;
    while (GlobalSetupCount() != 0)
        Call(GlobalSetupCount() > 0 ? PF_Cmd_GLOBAL_SETDOWN : PF_Cmd_GLOBAL_SETUP, h);
    if (CurrentEffect() != nullptr || CurrentHostAdapter() != nullptr) {
        Call(PF_Cmd_GLOBAL_SETUP, h);
        Call(PF_Cmd_GLOBAL_SETDOWN, h);
    }
}

// A panel that records what reaches it; `onDraw` runs inside a draw event.
struct Panel : CPresetsPanel {
    int clicks = 0;
    PF_Point window{}, screen{};
    PF_Rect area{};
    std::function<void()> onDraw;
    PF_Err Draw(PF_InData*, PF_OutData*, PF_EventExtra* e) override
    {
        EXPECT_EQ(CurrentEventCallData().event, e);
        if (onDraw)
            onDraw();
        return PF_Err_NONE;
    }
    PF_Err Click(PF_InData*, PF_OutData*, PF_EventExtra*, const PF_Rect& a, PF_Point w, PF_Point s) override
    {
        ++clicks;
        area = a, window = w, screen = s;
        return PF_Err_NONE;
    }
};

struct Entry : ::testing::Test {
    void SetUp() override
    {
        ResetPlugin();
        SetPresetsPanel(&panel);
        ctx.w_type = PF_Window_EFFECT;
        ev.contextH = &ctxPtr;
        ev.e_type = PF_Event_DRAW;
    }
    void TearDown() override
    {
        SetPresetsPanel(nullptr);
        ResetPlugin();
        ASSERT_EQ(CurrentEffect(), nullptr);
        ASSERT_EQ(GlobalSetupCount(), 0);
    }
    FakeHost h; // the host of a test's calls
    Panel panel;
    PF_Context ctx{};
    PF_ContextPtr ctxPtr = &ctx;
    PF_EventExtra ev{};
};

} // namespace

TEST_F(Entry, GlobalSetupCountsMapsTheEffectsFlagsAndNestedCallsKeepTheOuterCallsData)
{
    EXPECT_EQ(Call(PF_Cmd_GLOBAL_SETUP, h), 0);
    EXPECT_EQ(Call(PF_Cmd_GLOBAL_SETUP, h), 0);
    EXPECT_EQ(GlobalSetupCount(), 2);
    EXPECT_EQ(Call(PF_Cmd_GLOBAL_SETDOWN, h), 0);
    EXPECT_EQ(Call(PF_Cmd_GLOBAL_SETDOWN, h), 0);
    EXPECT_EQ(CurrentEffect(), nullptr); // and its adapter with it
    EXPECT_EQ(CurrentHostAdapter(), nullptr);

    // clang-format off
    const std::pair<std::uint32_t, PF_OutFlags> flags[] = {
        {0, 0}, {1, PF_OutFlag_WIDE_TIME_INPUT}, {2, PF_OutFlag_NON_PARAM_VARY}, {3, 0x6},
        {4, PF_OutFlag_PIX_INDEPENDENT}, {8, PF_OutFlag_WORKS_IN_PLACE}, {10, 0x2004}, {15, 0x2406}};
    // clang-format on
    for (const auto& [effect, host] : flags)
        EXPECT_EQ(MapEffectOutFlags(effect), host) << effect;

    // A refused parameter closes up the later indices and ids.
    Call(PF_Cmd_GLOBAL_SETUP, h);
    h.refuseAddAt = 3; // the fourth add: "Render Mode:" (after Presets, group start, Render What:)
    Call(PF_Cmd_PARAMS_SETUP, h);
    EXPECT_EQ(h.out.num_params, 123);
    EXPECT_EQ(static_cast<CEffectVaskel1*>(CurrentEffect())->GetInputParamIndex(1), 14);
    EXPECT_STREQ(h.added[3].name, "Grayscale Zoom");
    EXPECT_EQ(h.added[3].uu.id, 4);

    // A host re-entering the plug-in from inside add_param leaves the outer call its data.
    FakeHost outer, inner;
    Call(PF_Cmd_GLOBAL_SETUP, outer);
    PF_InData *seenInside = nullptr, *seenAfter = nullptr, *adapterAfter = nullptr;
    outer.onAddParam = [&](int call) {
        if (call == 4)
            seenInside = CurrentHostData();
        if (call == 5) {
            PluginEntry(PF_Cmd_FRAME_SETUP, &inner.in, &inner.out, nullptr, nullptr, nullptr);
            outer.Use();
        }
        if (call == 6)
            seenAfter = CurrentHostData(), adapterAfter = CurrentHostAdapter()->InData();
    };
    Call(PF_Cmd_PARAMS_SETUP, outer);
    EXPECT_EQ(seenInside, &outer.in);
    EXPECT_EQ(seenAfter, &outer.in);
    EXPECT_EQ(adapterAfter, &outer.in);
    EXPECT_EQ(outer.out.num_params, 124);
    EXPECT_EQ(CurrentHostData(), nullptr); // back to "no call in progress"
}

TEST_F(Entry, AboutCreatesNothingSequenceSetupAndEventsCreateLazily)
{
    EXPECT_EQ(Call(PF_Cmd_ABOUT, h), 0);
    EXPECT_EQ(CurrentEffect(), nullptr);
    const std::string about = h.out.return_msg; // its text is checked through the command line
    EXPECT_EQ(std::count(about.begin(), about.end(), '\r'), 2);
    EXPECT_EQ(about.find('\n'), std::string::npos);

    h.out.out_flags = PF_OutFlag_WORKS_IN_PLACE;
    EXPECT_EQ(Call(PF_Cmd_SEQUENCE_SETUP, h), 0);
    EXPECT_EQ(h.out.out_flags, PF_OutFlag_WORKS_IN_PLACE | PF_OutFlag_FORCE_RERENDER);
    EXPECT_NE(CurrentEffect(), nullptr);
    ResetPlugin();

    // A click without global setup creates the effect too, and reaches the panel.
    ev.e_type = PF_Event_DO_CLICK;
    ev.effect_win.area = PF_Rect{10, 20, 225, 99};
    ev.u.do_click.screen_point = PF_Point{100, 40};
    EXPECT_EQ(Call(PF_Cmd_EVENT, h, nullptr, &ev), 0);
    EXPECT_NE(CurrentEffect(), nullptr);
    EXPECT_EQ(h.addParamCalls, 0);
    EXPECT_EQ(panel.window.h, 100);
    EXPECT_EQ(panel.screen.v, 2040); // the application suite's local-to-global
    EXPECT_EQ(panel.area.right, 225);
    EXPECT_EQ(h.TotalAcquired(), h.TotalReleased());
    EXPECT_EQ(CurrentSuiteCache(), nullptr);

    // The editor host: the pointer's screen position instead of the conversion.
    hyplat::set_cursor_provider([](int* x, int* y, void*) { return *x = 7, *y = 9, true; }, nullptr);
    h.in.appl_id = kEditorHostId;
    Call(PF_Cmd_EVENT, h, nullptr, &ev);
    hyplat::set_cursor_provider(nullptr, nullptr);
    EXPECT_EQ(panel.screen.h, 7);
    EXPECT_EQ(panel.screen.v, 9);

    EXPECT_EQ(Call(PF_Cmd_EVENT, h, nullptr, nullptr), 0); // no record
    EXPECT_EQ(panel.clicks, 2);
}

TEST_F(Entry, BadInputDoesNotCrashAndInternalErrorsTranslate)
{
    // No suite broker: the call cannot run and says so; nothing is created.
    h.in.pica_basicP = nullptr;
    for (PF_Cmd cmd : std::vector<PF_Cmd>{PF_Cmd_GLOBAL_SETUP, PF_Cmd_RENDER, PF_Cmd_EVENT, PF_Cmd_ABOUT, 19})
        EXPECT_EQ(Call(cmd, h), PF_Err_BAD_CALLBACK_PARAM) << cmd;
    EXPECT_EQ(CurrentEffect(), nullptr);
    EXPECT_EQ(GlobalSetupCount(), 0);
    EXPECT_EQ(PluginEntry(PF_Cmd_GLOBAL_SETUP, nullptr, nullptr, nullptr, nullptr, nullptr),
              PF_Err_BAD_CALLBACK_PARAM); // no in-data at all
    EXPECT_EQ(CurrentHostData(), nullptr);

    // No out-data: global setup still counts; nothing is written.
    h.in.pica_basicP = &h.broker;
    h.Use();
    for (PF_Cmd cmd : std::vector<PF_Cmd>{PF_Cmd_GLOBAL_SETUP, PF_Cmd_PARAMS_SETUP, PF_Cmd_ABOUT})
        EXPECT_EQ(PluginEntry(cmd, &h.in, nullptr, nullptr, nullptr, nullptr), 0) << cmd;
    EXPECT_EQ(GlobalSetupCount(), 1);

    // A render without a parameter array cannot copy its input: out of memory, with its message.
    hostkit::World out(4, 4);
    h.values.clear();
    h.RefreshPointers();
    EXPECT_EQ(Call(PF_Cmd_RENDER, h, &out.def()), PF_Err_OUT_OF_MEMORY);
    EXPECT_STREQ(h.out.return_msg, "Insufficient Memory");

    // A host without utility callbacks or interact callbacks.
    FakeHost bare;
    bare.in.utils = nullptr;
    std::memset(&bare.in.inter, 0, sizeof(bare.in.inter));
    EXPECT_EQ(Call(PF_Cmd_ABOUT, bare), 0);
    EXPECT_NE(std::string(bare.out.return_msg).find("1.4.8"), std::string::npos);
    EXPECT_EQ(Call(PF_Cmd_PARAMS_SETUP, bare), 0);
    EXPECT_EQ(bare.out.num_params, 2); // input layer and panel: adds without a host callback fail

    const struct {
        int code;
        PF_Err err;
        const char* msg;
    } cases[] = {
        {1, PF_Err_OUT_OF_MEMORY, "Insufficient Memory"},
        {2, PF_Err_UNRECOGNIZED_PARAM_TYPE, "Invalid Param Block or Type"},
        {3, PF_Interrupt_CANCEL, ""},
        {4, PF_Err_NONE, ""},
        {7, PF_Err_NONE, "Internal Error 7"},
        {-12, PF_Err_NONE, "Internal Error -12"},
    };
    for (const auto& c : cases) {
        PF_OutData out{};
        EXPECT_EQ(TranslateInternalError(c.code, PF_Interrupt_CANCEL, &out), c.err) << c.code;
        EXPECT_STREQ(out.return_msg, c.msg);
        EXPECT_EQ(out.out_flags, *c.msg ? PF_OutFlag_DISPLAY_ERROR_MESSAGE : 0) << c.code;
    }
    EXPECT_EQ(TranslateInternalError(0, 5, nullptr), PF_Err_NONE);
    EXPECT_EQ(TranslateInternalError(1, 0, nullptr), PF_Err_OUT_OF_MEMORY); // no out-data: no write
    // A render without an output world cannot wrap it (internal error 1).
    EXPECT_EQ(Call(PF_Cmd_RENDER, h, nullptr), PF_Err_OUT_OF_MEMORY);
}

TEST_F(Entry, HostMemoryHook)
{
    void* cell = nullptr;
    // No call in progress: no host data to ask.
    EXPECT_EQ(HostMemoryHook(hymem::kHookAllocate, &cell, 64, 0), 0);
    EXPECT_EQ(cell, nullptr);
    EXPECT_EQ(HostMemoryHook(2, &cell, 64, 0), 0);

    // Inside a call the hook takes host handles; blocks taken during a call are released later, also
    // when no call is in progress (the effect's caches at module detach).
    void* block = nullptr;
    bool fail = false;
    panel.onDraw = [&] {
        if (fail)
            throw std::bad_alloc();
        hymem::set_hook_on(true);
        block = hymem::allocate(100, true);
        hymem::set_hook_on(false);
    };
    Call(PF_Cmd_EVENT, h, nullptr, &ev);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(hymem::block_tag(block), kHostMemoryTag);
    EXPECT_EQ(h.newHandles, 1);
    EXPECT_EQ(h.disposedHandles, 0);
    ASSERT_EQ(CurrentHostData(), nullptr);
    EXPECT_TRUE(hymem::release(block));
    EXPECT_EQ(h.disposedHandles, 1);
    EXPECT_EQ(h.unlockedHandles, 1);
    cell = nullptr;
    EXPECT_EQ(HostMemoryHook(hymem::kHookFree, &cell, 0, 0), 0); // nothing to free

    // The host has no memory: the allocation fails cleanly.
    h.utils.host_new_handle = [](A_u_longlong) -> PF_Handle { return nullptr; };
    block = reinterpret_cast<void*>(1);
    Call(PF_Cmd_EVENT, h, nullptr, &ev);
    EXPECT_EQ(block, nullptr);

    // An allocation failure thrown by the library reaches the host as out of memory, with its message.
    fail = true;
    EXPECT_EQ(Call(PF_Cmd_EVENT, h, nullptr, &ev), PF_Err_OUT_OF_MEMORY);
    EXPECT_STREQ(h.out.return_msg, "Insufficient Memory");
    EXPECT_NE(h.out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
}

// The suite cache and the custom-UI suite set against the counting broker.
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

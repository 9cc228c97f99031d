// The host kit's own checks, driven by a plug-in double: good use is served, every misuse noted, never UB.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "PluginFixture.h"

namespace {

using hostkit::Host;
using hostkit::Module;

// What the double does on each command.
enum class Mode {
    good,           // defines a small, valid parameter list and behaves
    bad_params,     // wrong index, unbalanced groups, bad ranges, duplicate id, unknown type
    bad_checkouts,  // out-of-range index, check-in of a definition never checked out, leaked checkout
    bad_handles,    // unknown handle, double dispose, unlock without lock, leaked handle
    bad_suites,     // release of a suite never acquired, acquire without release
    bad_strings,    // overlong message, add_param outside parameter setup
    keep_reference, // keeps the effect reference and uses it in the next call
    progress_loop,  // reports progress 1..100 until the host asks it to stop
    grab_handles,   // takes 10 handles, stopping at the first refusal, then gives them back
    draws,          // paints a control through the drawing suites and cleans up
    draws_sloppily, // forgets a pen, pops an empty state stack, strokes with a brush
};

Mode g_mode = Mode::good;
PF_UtilCallbacks g_utils{}; // kept to clean up what a misbehaving call left and to call it too late
PF_Handle g_leaked = nullptr;
PF_ProgPtr g_kept_ref = nullptr;
int g_progress_reports = 0;
int g_handles_taken = 0;

PF_ParamDef def(PF_ParamType type, const char* name, A_long id)
{
    PF_ParamDef d{};
    d.param_type = type;
    std::strncpy(d.name, name, sizeof d.name);
    d.uu.id = id;
    return d;
}

PF_ParamDef fixed_slider(const char* name, A_long id, double smin, double smax, double vmin, double vmax,
                         double dflt)
{
    PF_ParamDef d = def(PF_Param_FIX_SLIDER, name, id);
    d.u.fd.slider_min = FLOAT2FIX(smin);
    d.u.fd.slider_max = FLOAT2FIX(smax);
    d.u.fd.valid_min = FLOAT2FIX(vmin);
    d.u.fd.valid_max = FLOAT2FIX(vmax);
    d.u.fd.dephault = FLOAT2FIX(dflt);
    d.u.fd.precision = 2;
    return d;
}

PF_ParamDef popup(const char* name, A_long id, A_short choices, A_short dflt, const char* names)
{
    PF_ParamDef d = def(PF_Param_POPUP, name, id);
    d.u.pd.num_choices = choices;
    d.u.pd.dephault = dflt;
    d.u.pd.u.namesptr = names;
    return d;
}

PF_Err params_setup_good(PF_InData* in, PF_OutData* out)
{
    A_long added = 0;
    const auto add = [&](PF_ParamDef d, A_long index = -1) {
        added += in->inter.add_param(in->effect_ref, index, &d) == PF_Err_NONE;
    };
    PF_ParamDef look = def(PF_Param_GROUP_START, "Look", 1);
    look.flags = PF_ParamFlag_START_COLLAPSED;
    add(look);                                                   // refused by a host older than API 12
    add(fixed_slider("Gain ", 2, 0, 2, 0, 20, 1.25), added + 1); // an explicit next index is fine too
    add(popup("Mode:", 3, 3, 2, "One|Two|Three"));
    add(def(PF_Param_GROUP_END, "", 0));
    PF_ParamDef on = def(PF_Param_CHECKBOX, "On", 5);
    on.u.bd.u.nameptr = "  ";
    add(on);
    PF_CustomUIInfo ui{};
    ui.events = PF_CustomEFlag_EFFECT;
    in->inter.register_ui(in->effect_ref, &ui);
    out->num_params = added + 1;
    return PF_Err_NONE;
}

PF_Err good(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[])
{
    switch (cmd) {
    case PF_Cmd_ABOUT:
        in->utils->ansi.strcpy(out->return_msg, "Double\rline two\rline three");
        return PF_Err_NONE;
    case PF_Cmd_PARAMS_SETUP: return params_setup_good(in, out);
    case PF_Cmd_RENDER: {
        // Suite, handle and parameter traffic that a host must accept as correct.
        const void* suite = nullptr;
        if (in->pica_basicP->AcquireSuite(kPFAppSuite, kPFAppSuiteVersion6, &suite) || !suite)
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        PF_Point local{3, 4}, global{};
        static_cast<const PFAppSuite6*>(suite)->PF_ConvertLocalToGlobal(&local, &global);
        out->width = global.h; // reported back for the test to see
        out->height = global.v;
        in->pica_basicP->ReleaseSuite(kPFAppSuite, kPFAppSuiteVersion6);
        PF_Handle h = in->utils->host_new_handle(100);
        std::memset(in->utils->host_lock_handle(h), 1, 100);
        in->utils->host_unlock_handle(h);
        in->utils->host_dispose_handle(h);
        PF_ParamDef def;
        if (in->inter.checkout_param(in->effect_ref, 2, in->current_time, in->time_step, in->time_scale,
                                     &def))
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        in->inter.checkin_param(in->effect_ref, &def);
        // A user-visible change of the pop-up, as a preset load would make it.
        params[3]->u.pd.value = 3;
        params[3]->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
        return PF_Err_NONE;
    }
    default: return PF_Err_NONE;
    }
}

PF_Err bad_params(PF_InData* in, PF_OutData* out)
{
    const auto add = [&](PF_ParamDef d, A_long index = -1) {
        in->inter.add_param(in->effect_ref, index, &d);
    };
    add(fixed_slider("Skipped", 1, 0, 1, 0, 1, 0), 7); // index leaves a gap
    in->inter.add_param(in->effect_ref, -1, nullptr);  // no definition
    add(def(PF_Param_GROUP_END, "", 2));               // end without start
    add(fixed_slider("Backwards", 3, 0, 10, 0, 5, 1)); // slider max beyond valid max
    add(fixed_slider("Same id", 3, 0, 1, 0, 1, 2));    // duplicate id, default outside
    add(def(77, "Strange", 0));
    add(popup("Short list", 0, 3, 4, "a|b"));
    PF_ParamDef d = def(PF_Param_CHECKBOX, "", 0);
    std::memset(d.name, 'x', sizeof d.name); // no terminator
    add(d);
    add(def(PF_Param_GROUP_START, "Never closed", 9));
    out->num_params = 99;
    return PF_Err_NONE;
}

// Draws a control: a background, a framed field and a label.
PF_Err draw_control(PF_InData* in, PF_EventExtra* event, bool sloppy)
{
    SPBasicSuite* b = in->pica_basicP;
    const std::pair<const char*, int> suites[] = {{kPFEffectCustomUISuite, kPFEffectCustomUISuiteVersion1},
                                                  {kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_Version1},
                                                  {kDRAWBOT_SupplierSuite, kDRAWBOT_SupplierSuite_Version1},
                                                  {kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_Version1},
                                                  {kDRAWBOT_PathSuite, kDRAWBOT_PathSuite_Version1}};
    const void* got[5] = {};
    for (int k = 0; k < 5; ++k)
        if (b->AcquireSuite(suites[k].first, suites[k].second, &got[k]) || !got[k])
            return PF_Err_BAD_CALLBACK_PARAM;
    const auto* du = static_cast<const DRAWBOT_DrawbotSuite1*>(got[1]);
    const auto* su = static_cast<const DRAWBOT_SupplierSuite1*>(got[2]);
    const auto* sf = static_cast<const DRAWBOT_SurfaceSuite1*>(got[3]);
    DRAWBOT_DrawRef ref = nullptr;
    if (static_cast<const PF_EffectCustomUISuite1*>(got[0])->PF_GetDrawingReference(event->contextH, &ref))
        return PF_Err_BAD_CALLBACK_PARAM;
    DRAWBOT_SupplierRef sup = nullptr;
    DRAWBOT_SurfaceRef srf = nullptr;
    du->GetSupplier(ref, &sup);
    du->GetSurface(ref, &srf);

    sf->PushStateStack(srf);
    const DRAWBOT_ColorRGBA grey{0.25f, 0.25f, 0.25f, 1.0f}, white{1, 1, 1, 1};
    const DRAWBOT_RectF32 all{0, 0, 215, 79}, field{10, 20, 100, 18};
    sf->PaintRect(srf, &grey, &all);
    DRAWBOT_PenRef pen = nullptr;
    DRAWBOT_PathRef frame = nullptr;
    DRAWBOT_BrushRef brush = nullptr;
    DRAWBOT_FontRef font = nullptr;
    su->NewPen(sup, &white, 1.5f, &pen);
    su->NewPath(sup, &frame);
    static_cast<const DRAWBOT_PathSuite1*>(got[4])->AddRect(frame, &field);
    sf->StrokePath(srf, pen, frame);
    su->NewBrush(sup, &white, &brush);
    su->NewDefaultFont(sup, 11.0f, &font);
    const DRAWBOT_UTF16Char label[] = {'C', 'a', 'l', 'm', ' ', 0x00E9, 0x2248, 0};
    const DRAWBOT_PointF32 at{12, 33};
    sf->DrawString(srf, brush, font, label, &at, kDRAWBOT_TextAlignment_Left, kDRAWBOT_TextTruncation_None,
                   0);
    if (sloppy)
        sf->StrokePath(srf, brush, frame); // a brush is no pen
    sf->PopStateStack(srf);
    if (sloppy)
        sf->PopStateStack(srf); // one pop too many, and the pen is never released
    else
        su->ReleaseObject(pen);
    su->ReleaseObject(frame);
    su->ReleaseObject(brush);
    su->ReleaseObject(font);
    for (const auto& [name, version] : suites)
        b->ReleaseSuite(name, version);
    return PF_Err_NONE;
}

PF_Err entry(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[], PF_LayerDef*, void* extra)
{
    switch (g_mode) {
    case Mode::good: return good(cmd, in, out, params);
    case Mode::bad_params: return cmd == PF_Cmd_PARAMS_SETUP ? bad_params(in, out) : PF_Err_NONE;
    case Mode::bad_checkouts: {
        PF_ParamDef def, other;
        in->inter.checkout_param(in->effect_ref, in->num_params, 0, 1, 30, &def);
        in->inter.checkout_param(in->effect_ref, -1, 0, 1, 30, &def);
        in->inter.checkout_param(in->effect_ref, 0, 0, 1, 30, nullptr);
        in->inter.checkin_param(in->effect_ref, &other);
        in->inter.checkout_param(in->effect_ref, 0, 0, 1, 0, &def); // time scale 0, never checked in
        return PF_Err_NONE;
    }
    case Mode::bad_handles: {
        PF_UtilCallbacks* u = in->utils;
        PF_Handle h = u->host_new_handle(16);
        u->host_unlock_handle(h); // not locked
        u->host_dispose_handle(h);
        u->host_dispose_handle(h); // twice
        int not_a_handle = 0;
        u->host_lock_handle(reinterpret_cast<PF_Handle>(&not_a_handle));
        u->host_dispose_handle(nullptr);
        g_utils = *u;
        g_leaked = u->host_new_handle(8); // never disposed: the live count shows it
        return PF_Err_NONE;
    }
    case Mode::bad_suites: {
        const void* suite = nullptr;
        in->pica_basicP->ReleaseSuite(kPFAppSuite, kPFAppSuiteVersion6);
        in->pica_basicP->AcquireSuite(kPFAppSuite, kPFAppSuiteVersion6, &suite);
        // A suite this host does not offer is refused without misuse.
        const void* missing = &suite;
        if (in->pica_basicP->AcquireSuite("No Such Suite", 1, &missing) != kSPSuiteNotFoundError || missing)
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        return PF_Err_NONE;
    }
    case Mode::bad_strings: {
        std::string longer(400, 'm');
        in->utils->ansi.strcpy(out->return_msg, longer.c_str());
        in->utils->ansi.strcpy(nullptr, "x");
        in->utils->ansi.sprintf(out->name, "%s %d", longer.c_str(), 7);
        PF_ParamDef d = fixed_slider("Late", 1, 0, 1, 0, 1, 0);
        in->inter.add_param(in->effect_ref, -1, &d);
        return PF_Err_NONE;
    }
    case Mode::keep_reference:
        if (g_kept_ref)
            in->inter.progress(g_kept_ref, 1, 2);
        g_kept_ref = in->effect_ref;
        return PF_Err_NONE;
    case Mode::progress_loop:
        for (int i = 1; i <= 100; ++i) {
            ++g_progress_reports;
            if (PF_Err e = in->inter.progress(in->effect_ref, i, 100))
                return e;
        }
        return PF_Err_NONE;
    case Mode::draws:
    case Mode::draws_sloppily:
        return cmd == PF_Cmd_EVENT
                   ? draw_control(in, static_cast<PF_EventExtra*>(extra), g_mode == Mode::draws_sloppily)
                   : PF_Err_NONE;
    case Mode::grab_handles: {
        std::vector<PF_Handle> taken;
        for (PF_Handle h; taken.size() < 10 && (h = in->utils->host_new_handle(32));)
            taken.push_back(h);
        g_handles_taken = int(taken.size());
        for (PF_Handle h : taken)
            in->utils->host_dispose_handle(h);
        return PF_Err_NONE;
    }
    }
    return PF_Err_NONE;
}

class HostChecks : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_mode = Mode::good;
        g_kept_ref = nullptr;
        g_progress_reports = 0;
        hostkit::clear_orphan_misuse();
        module_ = Module::from_entry(entry, "double");
    }
    void TearDown() override { hostkit::clear_orphan_misuse(); }

    static bool noted(const Host& host, const std::string& part)
    {
        return std::ranges::any_of(host.misuse(),
                                   [&](const std::string& m) { return m.find(part) != std::string::npos; });
    }

    std::shared_ptr<Module> module_;
};

TEST_F(HostChecks, GoodUseIsServedAndEveryKindOfMisuseNoted)
{
    const long handles_before = hostkit::live_host_handles();
    Host host(module_);
    std::string about;
    ASSERT_EQ(host.about(&about), PF_Err_NONE);
    EXPECT_EQ(about, "Double\rline two\rline three");
    ASSERT_EQ(host.setup(), PF_Err_NONE);
    ASSERT_EQ(host.param_count(), 6);
    EXPECT_EQ(host.param(1).def.param_type, PF_Param_GROUP_START);
    EXPECT_EQ(host.param(3).def.u.pd.value, 2); // starts at its default
    EXPECT_EQ(host.param(4).group, "Look");     // the group end names the group it closes
    EXPECT_EQ(host.param(5).group, "");
    EXPECT_EQ(host.param(5).label, "  ");
    EXPECT_EQ(host.find_param("Gain "), 2);
    EXPECT_EQ(host.find_param("Gain"), -1);
    EXPECT_EQ(host.registered_ui().events, PF_CustomEFlag_EFFECT);

    hostkit::World out(8, 4);
    ASSERT_EQ(host.render(out), PF_Err_NONE);
    EXPECT_EQ(host.out_data().width, 3 + host.config().window_origin.h);
    EXPECT_EQ(host.out_data().height, 4 + host.config().window_origin.v);
    EXPECT_EQ(host.suite_acquire_count(kPFAppSuite), 1);
    EXPECT_EQ(host.param(3).def.u.pd.value, 3); // the plug-in's change was taken
    EXPECT_EQ(host.param(3).changes, 1);
    ASSERT_EQ(host.checkout_log().size(), 1u);
    EXPECT_EQ(host.checkout_log()[0].index, 2);
    EXPECT_EQ(hostkit::live_host_handles(), handles_before);
    EXPECT_TRUE(host.misuse().empty()) << host.misuse().front();

    // Values typed as text, in order: a refused text keeps the value before it.
    const struct {
        const char* name;
        const char* text;
        bool taken;
        A_long value;
    } cases[] = {{"Gain ", "2.5", true, 163840}, {"Gain ", "21", false, 163840},
                 {"Gain ", "2.5x", false, 163840}, {"Gain ", "", false, 163840},
                 {"Mode:", "1", true, 1}, {"Mode:", "Three", true, 3}, {"Mode:", "4", false, 3},
                 {"Mode:", "Thre", false, 3}, {"On", "on", true, 1}, {"On", "yes", false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " <- " + c.text);
        const int index = host.find_param(c.name);
        std::string why;
        EXPECT_EQ(host.set_from_text(index, c.text, &why), c.taken) << why;
        const PF_ParamDef& d = host.param(index).def;
        EXPECT_EQ(d.param_type == PF_Param_FIX_SLIDER ? d.u.fd.value
                  : d.param_type == PF_Param_POPUP    ? d.u.pd.value
                                                      : d.u.bd.value,
                  c.value);
    }
    std::string why;
    EXPECT_FALSE(host.set_from_text(host.find_param("Gain "), "21", &why)); // valid range 0..20
    EXPECT_EQ(why, "\"Gain \" takes 0 to 20");
    EXPECT_FALSE(host.set_from_text(1, "1")); // a group start has no value
    EXPECT_FALSE(host.set_from_text(99, "1", &why));
    EXPECT_EQ(why, "no parameter 99");

    // Each kind of misbehaviour, the command it happens on, and the notes the host must make.
    const struct {
        Mode mode;
        PF_Cmd cmd;
        std::vector<std::string> notes;
    } misuses[] = {
        {Mode::bad_params,
         PF_Cmd_PARAMS_SETUP,
         {"index 7 but the next index is 1", "null definition", "group end without a group start",
          "\"Backwards\": ranges out of order", "id 3 is already used",
          "\"Same id\": default 2 outside the valid range", "unknown type 77",
          "3 choices announced, 2 in the text", "default choice 4 out of range", "is not terminated",
          "group \"Never closed\" is never closed", "out-data reports 99 parameters"}},
        {Mode::bad_checkouts,
         PF_Cmd_RENDER,
         {"index 1 out of range (1 parameters)", "index -1 out of range", "null parameter definition",
          "was not checked out in this call", "time scale 0",
          "1 parameter(s) checked out and never checked in"}},
        {Mode::bad_handles,
         PF_Cmd_RENDER,
         {"host_unlock_handle: handle is not locked",
          "host_dispose_handle: unknown or already disposed handle",
          "host_lock_handle: unknown or already disposed handle", "host_dispose_handle: null handle"}},
        {Mode::bad_suites,
         PF_Cmd_FRAME_SETUP,
         {"\"PF AE App Suite\" version 6 was not acquired in this call",
          "suite \"PF AE App Suite\" version 6 acquired 1 more time(s) than released"}},
        {Mode::bad_strings,
         PF_Cmd_SEQUENCE_SETUP,
         {"400 characters overflow the out-data return_msg field (room for 255)", "strcpy: null pointer",
          "sprintf: 402 characters overflow an out-data field (room for 31)",
          "add_param: outside parameter setup"}},
    };
    for (const auto& c : misuses) {
        g_mode = c.mode;
        SCOPED_TRACE(hostkit::command_name(c.cmd));
        const long live_before = hostkit::live_host_handles();
        Host misused(module_);
        EXPECT_EQ(misused.call(c.cmd), PF_Err_NONE);
        for (const std::string& note : c.notes)
            EXPECT_TRUE(noted(misused, note)) << note;
        // Nothing else is noted: a suite the host does not offer, for one, is no misuse.
        EXPECT_EQ(misused.misuse().size(), c.notes.size()) << seavast_test::misuse_text(misused);
        if (c.mode == Mode::bad_params) {
            // Refused: the gap, the null, the unknown type and the unterminated name.
            EXPECT_EQ(misused.find_param("Skipped"), -1);
            EXPECT_EQ(misused.find_param("Strange"), -1);
            EXPECT_NE(misused.find_param("Backwards"), -1);
        } else if (c.mode == Mode::bad_handles) {
            // The leaked handle shows in the live count until it is given back.
            EXPECT_EQ(hostkit::live_host_handles(), live_before + 1);
            EXPECT_EQ(misused.stats().handles_new, 2);
            EXPECT_EQ(misused.stats().handles_disposed, 1);
            g_utils.host_dispose_handle(g_leaked);
            EXPECT_EQ(hostkit::live_host_handles(), live_before);
        } else if (c.mode == Mode::bad_strings) {
            // Overlong texts are cut to their fields; late definitions are refused.
            EXPECT_EQ(std::string(misused.out_data().name), std::string(31, 'm'));
            EXPECT_EQ(misused.message(), std::string(255, 'm'));
            EXPECT_EQ(misused.param_count(), 1);
        }
    }
    // An old host refuses groups.
    g_mode = Mode::good;
    Host old(module_, seavast_test::config_for_api(11));
    ASSERT_EQ(old.params_setup(), PF_Err_NONE);
    EXPECT_TRUE(noted(old, "parameter groups on a host of API version 11"));
    EXPECT_EQ(old.param_count(), 4); // input, slider, pop-up, checkbox
    // A kept effect reference used in a later call.
    g_mode = Mode::keep_reference;
    host.call(PF_Cmd_FRAME_SETUP);
    host.call(PF_Cmd_FRAME_SETUP);
    EXPECT_TRUE(noted(host, "belongs to no call in progress"));
    EXPECT_EQ(host.stats().progress, 0);
    // The utility table kept from a call that returned: served, but noted.
    char dst[8];
    g_utils.ansi.strcpy(dst, "x");
    PF_Handle h = g_utils.host_new_handle(4);
    EXPECT_NE(h, nullptr);
    g_utils.host_dispose_handle(h);
    const auto orphans = hostkit::orphan_misuse();
    ASSERT_GE(orphans.size(), 2u);
    EXPECT_NE(orphans[0].find("strcpy: called outside any entry call"), std::string::npos);
}

// Scripted failures and the progress listener stop the call; drawing is recorded and sloppy drawing caught.
TEST_F(HostChecks, ScriptedFailuresProgressListenerAndDrawing)
{
    g_mode = Mode::progress_loop;
    Host host(module_);
    host.script_abort(5);
    EXPECT_EQ(host.call(PF_Cmd_RENDER), PF_Interrupt_CANCEL);
    EXPECT_EQ(g_progress_reports, 6); // five answered normally, the sixth asked to stop
    ASSERT_EQ(host.progress_log().size(), 6u);
    EXPECT_EQ(host.progress_log()[5].current, 6);
    EXPECT_EQ(host.progress_log()[5].total, 100);
    host.script_abort(0, PF_Err_OUT_OF_MEMORY); // any code the host wants returned
    EXPECT_EQ(host.call(PF_Cmd_RENDER), PF_Err_OUT_OF_MEMORY);
    host.script_abort(-1);
    g_progress_reports = 0;
    EXPECT_EQ(host.call(PF_Cmd_RENDER), PF_Err_NONE);
    EXPECT_EQ(g_progress_reports, 100);

    hostkit::HostConfig config;
    config.log_progress = false; // a long-running host keeps no record per report
    Host quiet(module_, config);
    std::vector<A_long> seen;
    quiet.set_progress_listener([&](A_long current, A_long total) {
        if (total > 0)
            seen.push_back(current);
        return seen.size() >= 3 ? PF_Interrupt_CANCEL : PF_Err_NONE;
    });
    g_progress_reports = 0;
    EXPECT_EQ(quiet.call(PF_Cmd_RENDER), PF_Interrupt_CANCEL);
    EXPECT_EQ(seen, (std::vector<A_long>{1, 2, 3}));
    EXPECT_EQ(g_progress_reports, 3);
    EXPECT_TRUE(quiet.progress_log().empty());
    EXPECT_EQ(quiet.stats().progress, 3);

    g_mode = Mode::grab_handles;
    const long before = hostkit::live_host_handles();
    host.script_handle_failure(3);
    host.call(PF_Cmd_RENDER);
    EXPECT_EQ(g_handles_taken, 3);
    host.script_handle_failure(-1);
    host.call(PF_Cmd_RENDER);
    EXPECT_EQ(g_handles_taken, 10);
    EXPECT_EQ(hostkit::live_host_handles(), before);
    EXPECT_TRUE(host.misuse().empty() && quiet.misuse().empty());

    g_mode = Mode::draws;
    PF_EventExtra draw = host.make_event(PF_Event_DRAW);
    ASSERT_EQ(host.event(draw), PF_Err_NONE);
    EXPECT_TRUE(host.misuse().empty()) << host.misuse().front();
    const auto& ops = host.drawing().ops();
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[0].kind, hostkit::DrawOp::paint_rect);
    EXPECT_FLOAT_EQ(ops[0].color.red, 0.25f);
    EXPECT_FLOAT_EQ(ops[0].rect.width, 215);
    EXPECT_EQ(ops[1].kind, hostkit::DrawOp::stroke_path);
    EXPECT_FLOAT_EQ(ops[1].pen_size, 1.5f);
    EXPECT_FLOAT_EQ(ops[1].rect.left, 10);
    EXPECT_FLOAT_EQ(ops[1].rect.height, 18);
    EXPECT_EQ(ops[1].segments, 4);
    EXPECT_EQ(ops[2].kind, hostkit::DrawOp::draw_string);
    EXPECT_EQ(ops[2].text, "Calm \u00e9\u2248");
    EXPECT_FLOAT_EQ(ops[2].origin.y, 33);
    EXPECT_EQ(host.drawing().state_depth(), 0);

    g_mode = Mode::draws_sloppily;
    PF_EventExtra again = host.make_event(PF_Event_DRAW);
    host.event(again);
    for (const char* note : {"StrokePath: a brush where a pen belongs", "PopStateStack: nothing pushed",
                             "1 drawing object(s) never released"})
        EXPECT_TRUE(noted(host, note)) << note << "\n" << seavast_test::misuse_text(host);
    EXPECT_EQ(host.drawing().live_objects(), 0) << "the host reclaims them at the end of the call";
}

} // namespace

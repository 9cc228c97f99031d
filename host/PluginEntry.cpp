// The module's one export and the process-wide state behind it.
#include <cstdio>
#include <cstring>

#include "host/CAEHost.h"
#include "host/CEffectVaskel1.h"
#include "host/CPresetsPanel.h"
#include "host/CSuiteCache.h"
#include "host/PluginState.h"
#include "platform/HyEntryLock.h"
#include "platform/HyMemory.h"
#include "platform/HyModuleInstance.h"
#include "platform/HyScreen.h"
#include "platform/HyThreadPool.h"

namespace {

// One copy per loaded module; every field is guarded by the entry lock.
struct ProcessState {
    void* moduleInstance = nullptr;
    PF_InData* currentHostData = nullptr;
    // The utility table that handed out the last host-memory block: blocks outlive the call that
    // took them (the effect frees its caches at module detach, when no call is in progress).
    // The handle functions of the host that gave out the last block, copied: the host's own table may
    // live only as long as its call, and the module can be detached long after that.
    PF_UtilCallbacks blockUtils{};
    bool haveBlockUtils = false;
    CAEHost* host = nullptr;
    CEffect* effect = nullptr;
    std::int32_t globalSetupCount = 0;
    CEventCallData eventData;
};
ProcessState g;

void destroy_effect_and_host()
{
    // The effect may still hold the adapter; it goes first.
    delete g.effect;
    g.effect = nullptr;
    delete g.host;
    g.host = nullptr;
}

// Module attach and detach.
struct ModuleLifetime {
    ModuleLifetime()
    {
        g.moduleInstance = hyplat::module_instance_of(reinterpret_cast<const void*>(&PluginEntry));
    }
    ~ModuleLifetime()
    {
        destroy_effect_and_host();
        // The host may unload the module now: no worker thread may be left running its code.
        hyplat::HyThreadPool::process().release_workers();
        g.moduleInstance = nullptr;
    }
};
ModuleLifetime g_module;

// The one factory of the effect.
CEffect* create_effect(CHostInterface* host)
{
    CEffect* effect = new CEffectVaskel1();
    if (effect != nullptr)
        effect->SetHost(host);
    return effect;
}

void bind(PF_InData* in, PF_ParamDef** params)
{
    if (g.host)
        g.host->Bind(in, params);
}

// A host that skips global setup still gets a working effect, with the parameter indices known but
// nothing sent to the host (setup mode off).
void lazy_create(PF_InData* in, PF_ParamDef** params)
{
    if (g.host != nullptr || g.effect != nullptr)
        return;
    g.host = new CAEHost(0, 0, in, params);
    if (g.host == nullptr)
        return;
    g.host->Bind(in, params);
    g.host->SetParamSetupMode(0);
    g.effect = create_effect(g.host);
    if (g.effect)
        g.effect->RegisterParams();
}

void copy_message(PF_InData* in, PF_OutData* out, const char* text)
{
    if (out == nullptr)
        return;
    PF_UtilCallbacks* utils = in ? in->utils : nullptr;
    char clipped[sizeof(out->return_msg)] = {};
    std::snprintf(clipped, sizeof(clipped), "%s", text);
    if (utils && utils->ansi.strcpy)
        utils->ansi.strcpy(out->return_msg, clipped);
    else
        std::memcpy(out->return_msg, clipped, sizeof(clipped));
}

PF_Err global_setup(PF_InData* in, PF_ParamDef** params, PF_OutData* out)
{
    ++g.globalSetupCount;
    if (g.host == nullptr)
        g.host = new CAEHost(0, 1, nullptr, nullptr);
    PF_OutFlags mapped = 0;
    if (g.host != nullptr) {
        g.host->Bind(in, params);
        if (g.effect == nullptr) {
            g.effect = create_effect(g.host);
            if (g.effect)
                mapped = MapEffectOutFlags(g.effect->GetOutFlags());
        }
    }
    if (out) {
        out->my_version = kSeavastVersionWord;
        out->out_flags = mapped;
        out->out_flags2 = kSeavastOutFlags2;
    }
    return PF_Err_NONE;
}

PF_Err global_setdown(PF_InData* in, PF_ParamDef** params)
{
    bind(in, params);
    --g.globalSetupCount;
    if (g.globalSetupCount < 1) {
        destroy_effect_and_host();
        g.moduleInstance = nullptr;
        g.currentHostData = nullptr;
    }
    return PF_Err_NONE;
}

PF_Err params_setup(PF_InData* in, PF_ParamDef** params, PF_OutData* out)
{
    std::int32_t count = 0;
    if (g.effect && g.host) {
        g.host->Bind(in, params);
        g.host->SetParamSetupMode(1);
        g.effect->SetHost(g.host);
        count = g.effect->RegisterParams();
    }
    // The presets panel draws in the effect window only.
    if (in && in->inter.register_ui) {
        PF_CustomUIInfo ui;
        std::memset(&ui, 0, sizeof(ui));
        ui.events = PF_CustomEFlag_EFFECT;
        in->inter.register_ui(in->effect_ref, &ui);
    }
    if (out)
        out->num_params = count;
    return PF_Err_NONE;
}

PF_Err handle_event(PF_InData* in, PF_OutData* out, PF_ParamDef** params, PF_LayerDef* output,
                    PF_EventExtra* event)
{
    if (event == nullptr || event->contextH == nullptr || *event->contextH == nullptr ||
        (*event->contextH)->w_type != PF_Window_EFFECT)
        return PF_Err_NONE;
    if (event->e_type != PF_Event_DO_CLICK && event->e_type != PF_Event_DRAW)
        return PF_Err_NONE;

    const CEventCallData saved = g.eventData;
    g.eventData = CEventCallData{in, out, params, output, event};
    CPresetsPanel* panel = PresetsPanel();
    CSuiteCache* suites = CurrentSuiteCache();
    PF_Err err = PF_Err_NONE;
    if (event->e_type == PF_Event_DO_CLICK) {
        const PF_Rect area = event->effect_win.area;
        const PF_Point window = event->u.do_click.screen_point;
        PF_Point screen = window;
        const PFAppSuite6* app = suites ? suites->AppSuite() : nullptr;
        if (in && in->appl_id == kEditorHostId) {
            int x = 0, y = 0;
            if (hyplat::cursor_screen_position(&x, &y))
                screen = PF_Point{x, y};
        } else if (app && app->PF_ConvertLocalToGlobal) {
            app->PF_ConvertLocalToGlobal(&window, &screen);
        }
        err = panel->Click(in, out, event, area, window, screen);
        if (app && app->PF_InvalidateRect)
            app->PF_InvalidateRect(event->contextH, nullptr);
        event->evt_out_flags |= PF_EO_HANDLED_EVENT | PF_EO_UPDATE_NOW;
    } else {
        err = panel->Draw(in, out, event);
        event->evt_out_flags |= PF_EO_HANDLED_EVENT;
    }
    g.eventData = saved;
    return err;
}

// Runs one command. Host errors come back directly; the effect's internal codes through *internal.
PF_Err dispatch(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef** params, PF_LayerDef* output,
                void* extra, std::int32_t* internal)
{
    switch (cmd) {
    case PF_Cmd_ABOUT:
        copy_message(in, out, AboutText());
        return PF_Err_NONE;
    case PF_Cmd_GLOBAL_SETUP:
        return global_setup(in, params, out);
    case PF_Cmd_GLOBAL_SETDOWN:
        return global_setdown(in, params);
    case PF_Cmd_PARAMS_SETUP:
        return params_setup(in, params, out);
    case PF_Cmd_SEQUENCE_SETUP:
        lazy_create(in, params);
        if (out)
            out->out_flags |= PF_OutFlag_FORCE_RERENDER;
        return PF_Err_NONE;
    case PF_Cmd_FRAME_SETUP:
        if (g.effect && g.host) {
            g.host->Bind(in, params);
            g.effect->SetHost(g.host);
        }
        return PF_Err_NONE;
    case PF_Cmd_RENDER:
        lazy_create(in, params);
        // Blocks the program allocates while rendering come from host memory handles.
        hymem::set_hook_on(true);
        *internal = RunRenderCommand(g.host, g.effect, in, params, output);
        hymem::set_hook_on(false);
        return PF_Err_NONE;
    case PF_Cmd_EVENT:
        lazy_create(in, params);
        bind(in, params);
        return handle_event(in, out, params, output, static_cast<PF_EventExtra*>(extra));
    case PF_Cmd_UNUSED_0:
    case PF_Cmd_SEQUENCE_RESETUP:
    case PF_Cmd_SEQUENCE_FLATTEN: // no sequence data: everything lives in the one effect object
    case PF_Cmd_SEQUENCE_SETDOWN:
    case PF_Cmd_DO_DIALOG:
    case PF_Cmd_FRAME_SETDOWN:
    case PF_Cmd_USER_CHANGED_PARAM:
    case PF_Cmd_UPDATE_PARAMS_UI:
    case PF_Cmd_GET_EXTERNAL_DEPENDENCIES:
    case PF_Cmd_COMPLETELY_GENERAL:
    case PF_Cmd_QUERY_DYNAMIC_FLAGS: // the flags stay as the host passed them
    default:
        return PF_Err_NONE;
    }
}

} // namespace

PF_InData* CurrentHostData() { return g.currentHostData; }
CAEHost* CurrentHostAdapter() { return g.host; }
CEffect* CurrentEffect() { return g.effect; }
std::int32_t GlobalSetupCount() { return g.globalSetupCount; }
void* ModuleInstance() { return g.moduleInstance; }
const CEventCallData& CurrentEventCallData() { return g.eventData; }

const char* AboutText()
{
    return "Seavast v1.4.8\r"
           "Ocean synthesis for compositors, by Bluefen.\r"
           "Render engine by Corvane.";
}

PF_OutFlags MapEffectOutFlags(std::uint32_t f)
{
    PF_OutFlags out = 0;
    if (f & 2u)
        out |= (f & 1u) ? (PF_OutFlag_WIDE_TIME_INPUT | PF_OutFlag_NON_PARAM_VARY) : PF_OutFlag_NON_PARAM_VARY;
    else if (f & 1u)
        out |= PF_OutFlag_WIDE_TIME_INPUT;
    if (f & 4u)
        out |= PF_OutFlag_PIX_INDEPENDENT;
    if (f & 8u)
        out |= PF_OutFlag_WORKS_IN_PLACE;
    return out;
}

namespace {

struct InternalErrorRow {
    std::int32_t code;
    PF_Err hostError;
    bool passesHostError; // the host's own code, kept from the effect's last host call
    const char* message;  // null: no message, no display flag
};

const InternalErrorRow kInternalErrors[] = {
    {1, PF_Err_OUT_OF_MEMORY, false, "Insufficient Memory"},
    {2, PF_Err_UNRECOGNIZED_PARAM_TYPE, false, "Invalid Param Block or Type"},
    {3, PF_Err_NONE, true, nullptr},
    {4, PF_Err_NONE, false, nullptr}, // nothing to do is not a failure
};

} // namespace

PF_Err TranslateInternalError(std::int32_t code, std::int32_t lastHostError, PF_OutData* out)
{
    if (code == 0)
        return PF_Err_NONE;
    for (const InternalErrorRow& row : kInternalErrors) {
        if (row.code != code)
            continue;
        if (row.message)
            SetHostErrorMessage(out, row.message);
        return row.passesHostError ? lastHostError : row.hostError;
    }
    char text[64];
    std::snprintf(text, sizeof(text), "Internal Error %d", int(code));
    SetHostErrorMessage(out, text);
    return PF_Err_NONE;
}

int HostMemoryHook(int op, void** cell, std::size_t bytes, std::uintptr_t)
{
    if (cell == nullptr)
        return 0;
    PF_InData* in = g.currentHostData;
    PF_UtilCallbacks* utils = in ? in->utils : nullptr;
    if (op == hymem::kHookAllocate) {
        *cell = nullptr;
        if (utils == nullptr || utils->host_new_handle == nullptr || utils->host_lock_handle == nullptr)
            return 0;
        PF_Handle h = utils->host_new_handle(A_u_longlong(bytes) + 8);
        if (h == nullptr)
            return 0;
        auto* base = static_cast<unsigned char*>(utils->host_lock_handle(h));
        if (base == nullptr) {
            if (utils->host_dispose_handle)
                utils->host_dispose_handle(h);
            return 0;
        }
        std::memcpy(base, &h, sizeof(h));
        g.blockUtils = *utils;
        g.haveBlockUtils = true;
        *cell = base + 8;
        return 1;
    }
    if (op == hymem::kHookFree) {
        if (*cell == nullptr)
            return 0;
        if (utils == nullptr && g.haveBlockUtils)
            utils = &g.blockUtils;
        PF_Handle h = nullptr;
        std::memcpy(&h, static_cast<unsigned char*>(*cell) - 8, sizeof(h));
        if (h == nullptr || utils == nullptr)
            return 0;
        if (utils->host_unlock_handle)
            utils->host_unlock_handle(h);
        if (utils->host_dispose_handle)
            utils->host_dispose_handle(h);
        return 1;
    }
    return 0;
}

extern "C" PF_EXPORT PF_Err PluginEntry(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                                        PF_LayerDef* output, void* extra)
{
    hyplat::HyEntryGuard lock;

    PF_InData* const savedHostData = g.currentHostData;
    g.currentHostData = in;
    PF_InData* savedAdapterIn = nullptr;
    PF_ParamDef** savedAdapterParams = nullptr;
    if (g.host) {
        savedAdapterIn = g.host->InData();
        savedAdapterParams = g.host->Params();
    }
    // A nested call (the host calling back in during a render) must not leave the outer render's
    // hook switched off.
    const bool hookWasOn = hymem::hook_installed() && hymem::hook_on() && hymem::hook_tag() == kHostMemoryTag;
    hymem::install_hook(HostMemoryHook, kHostMemoryTag, false, 0);
    CSuiteCache* const savedCache = CurrentSuiteCache();

    auto restore = [&] {
        g.currentHostData = savedHostData;
        if (savedAdapterIn != nullptr && g.host != nullptr)
            g.host->Bind(savedAdapterIn, savedAdapterParams);
    };

    PF_Err err = PF_Err_NONE;
    try {
        CSuiteCache suites(in ? in->pica_basicP : nullptr);
        SetCurrentSuiteCache(&suites);
        std::int32_t internal = 0;
        err = dispatch(cmd, in, out, params, output, extra, &internal);
        if (internal != 0)
            err = TranslateInternalError(internal, g.effect ? g.effect->LastHostError() : 0, out);
        restore();
        SetCurrentSuiteCache(savedCache);
        // Leaving the scope releases every suite acquired during the call.
    } catch (const CHostError& e) {
        err = e.code;
        restore();
        SetCurrentSuiteCache(savedCache);
    } catch (...) {
        // Nothing may escape into the host. Apart from the suite cache's own error, what the program
        // can throw is the standard library's allocation failure: report it as out of memory.
        err = TranslateInternalError(1, 0, out);
        restore();
        SetCurrentSuiteCache(savedCache);
    }
    hymem::set_hook_on(hookWasOn);
    return err;
}

// An in-process host whose in-data, parameter array, suite broker and memory handles count what they
// see. Callbacks without a user pointer find the host through FakeHost::current (set by Use()).
#pragma once

#include <cstring>
#include <functional>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "sdk/AE_EffectSuites.h"

struct FakeHost {
    PF_InData in{};
    PF_OutData out{};
    PF_UtilCallbacks utils{};
    SPBasicSuite broker{};
    PFAppSuite6 app{};

    // Parameters the plug-in added (their choice strings are not kept: no test reads them).
    std::vector<PF_ParamDef> added;
    int addParamCalls = 0;
    int refuseAddAt = -1; // the add call with this number (0-based) fails

    // The parameter array passed with commands.
    std::vector<PF_ParamDef> values;
    std::vector<PF_ParamDef*> valuePtrs;

    std::vector<std::pair<A_long, A_long>> progress;
    A_long progressAnswer = 0;
    bool refuseCheckout = false;

    std::map<std::string, int> acquired, released;
    std::vector<std::string> unknownSuites;
    PF_Point globalOffset{1000, 2000};

    int newHandles = 0, disposedHandles = 0, unlockedHandles = 0;

    // Called from inside add_param (index of the call) to test re-entrance.
    std::function<void(int)> onAddParam;

    static inline FakeHost* current = nullptr;

    FakeHost()
    {
        in.version.major = 13;
        in.quality = PF_Quality_HI;
        in.downsample_x = {1, 1};
        in.downsample_y = {1, 1};
        in.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
        in.utils = &utils;
        in.pica_basicP = &broker;
        in.inter.add_param = &AddParam;
        in.inter.progress = [](PF_ProgPtr ref, A_long cur, A_long total) -> PF_Err {
            Of(ref).progress.emplace_back(cur, total);
            return Of(ref).progressAnswer;
        };
        in.inter.checkout_param = &Checkout;
        utils.ansi.strcpy = [](A_char* dst, const A_char* src) { return std::strcpy(dst, src); };
        utils.host_new_handle = &NewHandle;
        utils.host_lock_handle = [](PF_Handle h) -> void* { return reinterpret_cast<Block*>(h)->data(); };
        utils.host_unlock_handle = [](PF_Handle) { Count(&FakeHost::unlockedHandles); };
        utils.host_dispose_handle = &DisposeHandle;
        broker.AcquireSuite = &Acquire;
        broker.ReleaseSuite = [](const char* name, A_long) -> SPErr {
            if (current)
                ++current->released[name];
            return kSPNoError;
        };
        app.PF_ConvertLocalToGlobal = [](const PF_Point* local, PF_Point* global) -> PF_Err {
            global->h = local->h + (current ? current->globalOffset.h : 0);
            global->v = local->v + (current ? current->globalOffset.v : 0);
            return PF_Err_NONE;
        };
        Use();
    }
    ~FakeHost() { current = current == this ? nullptr : current; }
    void Use() { current = this; }

    static FakeHost& Of(PF_ProgPtr ref) { return *reinterpret_cast<FakeHost*>(ref); }

    // Builds a parameter array from the definitions added so far (values at their defaults).
    void AdoptAddedAsValues(A_long layerWidth = 64, A_long layerHeight = 32)
    {
        values.assign(1, PF_ParamDef{});
        values[0].param_type = PF_Param_LAYER;
        values[0].u.ld.width = layerWidth;
        values[0].u.ld.height = layerHeight;
        values.insert(values.end(), added.begin(), added.end());
        RefreshPointers();
    }
    void RefreshPointers()
    {
        valuePtrs.clear();
        for (PF_ParamDef& d : values)
            valuePtrs.push_back(&d);
        in.num_params = A_long(values.size());
    }
    PF_ParamDef** Params() { return valuePtrs.empty() ? nullptr : valuePtrs.data(); }

    static int Sum(const std::map<std::string, int>& counts)
    {
        return std::accumulate(counts.begin(), counts.end(), 0, [](int n, auto& c) { return n + c.second; });
    }
    int TotalAcquired() const { return Sum(acquired); }
    int TotalReleased() const { return Sum(released); }

    static PF_Err AddParam(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDefPtr def)
    {
        FakeHost& h = Of(ref);
        const int call = h.addParamCalls++;
        if (h.onAddParam)
            h.onAddParam(call);
        if (index != -1)
            return PF_Err_INVALID_INDEX;
        if (call == h.refuseAddAt)
            return PF_Err_OUT_OF_MEMORY;
        h.added.push_back(*def);
        return PF_Err_NONE;
    }
    static PF_Err Checkout(PF_ProgPtr ref, PF_ParamIndex index, A_long, A_long, A_u_long, PF_ParamDef* p)
    {
        FakeHost& h = Of(ref);
        if (h.refuseCheckout || index < 0 || index >= A_long(h.values.size()))
            return PF_Err_BAD_CALLBACK_PARAM;
        *p = h.values[std::size_t(index)];
        return PF_Err_NONE;
    }
    // A handle is a byte vector of its own.
    using Block = std::vector<unsigned char>;
    static PF_Handle NewHandle(A_u_longlong size)
    {
        Count(&FakeHost::newHandles);
        return reinterpret_cast<PF_Handle>(new Block(std::size_t(size)));
    }
    static void Count(int FakeHost::*counter)
    {
        if (current)
            ++(current->*counter);
    }
    static void DisposeHandle(PF_Handle h)
    {
        Count(&FakeHost::disposedHandles);
        delete reinterpret_cast<Block*>(h);
    }
    static SPErr Acquire(const char* name, A_long, const void** suite)
    {
        FakeHost* h = current;
        if (!h)
            return kSPSuiteNotFoundError;
        // The application suite works; the drawing suites are only handed out, never called.
        static const int dummy = 0;
        const bool app = std::strcmp(name, kPFAppSuite) == 0;
        if (!app && std::strcmp(name, kPFEffectCustomUISuite) != 0 && std::strncmp(name, "DRAWBOT", 7) != 0) {
            h->unknownSuites.push_back(name);
            return kSPSuiteNotFoundError;
        }
        ++h->acquired[name];
        *suite = app ? static_cast<const void*>(&h->app) : &dummy;
        return kSPNoError;
    }
};

// Suites: the host's named function tables, acquired from the suite broker.
//
// CSuiteCache lives on the stack of every entry call: each suite is acquired on first use and kept,
// and the cache releases every suite it acquired when the call ends. A null broker cannot give any
// suite; the cache refuses to exist without one and throws CHostError{516}, the one exception the
// plug-in's own code raises (the entry point turns it into the call's result).
//
// CCustomUISuiteSet is the presets panel's set: the custom-UI suite and the four drawing suites,
// acquired together for one event.
#pragma once

#include <cstdint>

#include "sdk/AE_EffectSuites.h"

struct CHostError {
    PF_Err code;
};

// Every suite the cache can hold, in a fixed order.
enum class HostSuite : std::int32_t {
    ANSI, Handle, FillMatte, WorldTransform, World, Sampling8, Sampling16, SamplingFloat, Iterate8,
    Iterate16, IterateFloat, PathQuery, PathData, App, AdvApp, AdvItem, ColorSettings, ColorParam,
    Color16, PixelData, EffectUI, EffectCustomUI, EffectCustomUIOverlayTheme, CacheOnLoad, DrawbotDraw,
    DrawbotSupplier, DrawbotSurface, DrawbotPath, PluginHelper2,
    AEGPMarker, AEGPLayer, AEGPStream, AEGPDynamicStream, AEGPKeyframe, AEGPComp, AEGPCanvas,
    AEGPCamera, AEGPRegister, AEGPItem, AEGPPFInterface, AEGPMemory, AEGPLight, AEGPEffect,
    AEGPLayerMask, AEGPMaskOutline, AEGPCommand, AEGPUtility, AEGPRender, AEGPQueryXform,
    AEGPComposite, AEGPIOIn, AEGPIOOut, AEGPRenderQueue, AEGPRenderQueueItem, AEGPOutputModule,
    AEGPFileImportManager, AEGPCollection, AEGPTextDocument, AEGPSoundData, AEGPTextLayer,
    AEGPArtisanUtil, AEGPWorld, AEGPRenderOptions, AEGPTracker, AEGPTrackerUtility, AEGPProj,
    AEGPFootage, AEGPPersistentData,
    Count
};
constexpr int kHostSuiteCount = int(HostSuite::Count);

struct HostSuiteInfo {
    const char* name;
    A_long version;
};
const HostSuiteInfo& GetHostSuiteInfo(HostSuite suite);

class CSuiteCache {
public:
    explicit CSuiteCache(SPBasicSuite* broker); // throws CHostError{PF_Err_BAD_CALLBACK_PARAM} for null
    ~CSuiteCache();
    CSuiteCache(const CSuiteCache&) = delete;
    CSuiteCache& operator=(const CSuiteCache&) = delete;

    // The suite's table, acquired on first use; null when the host does not offer it.
    const void* Get(HostSuite suite);
    template <class T>
    const T* Get(HostSuite suite)
    {
        return static_cast<const T*>(Get(suite));
    }
    const PFAppSuite6* AppSuite() { return Get<PFAppSuite6>(HostSuite::App); }

    bool IsAcquired(HostSuite suite) const { return m_cells[int(suite)] != nullptr; }
    int AcquiredCount() const;
    SPBasicSuite* Broker() const { return m_broker; }
    // Releases every acquired suite now (the destructor does the same).
    void ReleaseAll();

private:
    SPBasicSuite* m_broker;
    const void* m_cells[kHostSuiteCount] = {};
};

// The suite cache of the entry call in progress (null outside a call).
CSuiteCache* CurrentSuiteCache();
void SetCurrentSuiteCache(CSuiteCache* cache);

constexpr const char* kSuiteAcquireMessage = "Not able to acquire AEFX Suite.";
constexpr const char* kSuiteReleaseMessage = "Not able to release AEFX Suite.";

class CCustomUISuiteSet {
public:
    CCustomUISuiteSet() = default;
    ~CCustomUISuiteSet();
    CCustomUISuiteSet(const CCustomUISuiteSet&) = delete;
    CCustomUISuiteSet& operator=(const CCustomUISuiteSet&) = delete;

    // Acquires all five suites. Without a broker, or when the host refuses one of them: sets the
    // display-error flag, writes kSuiteAcquireMessage into out's message, releases what it got and
    // returns PF_Err_BAD_CALLBACK_PARAM.
    PF_Err Acquire(SPBasicSuite* broker, PF_OutData* out);
    // Releases what was acquired; without a broker kSuiteReleaseMessage and PF_Err_BAD_CALLBACK_PARAM.
    PF_Err Release(PF_OutData* out);

    const PF_EffectCustomUISuite1* customUI = nullptr;
    const DRAWBOT_DrawbotSuite1* draw = nullptr;
    const DRAWBOT_SupplierSuite1* supplier = nullptr;
    const DRAWBOT_SurfaceSuite1* surface = nullptr;
    const DRAWBOT_PathSuite1* path = nullptr;

private:
    void ReleaseAcquired();
    SPBasicSuite* m_broker = nullptr;
    bool m_acquireCalled = false;
};

// Writes a message the host shows to the user (display-error flag set).
void SetHostErrorMessage(PF_OutData* out, const char* message);

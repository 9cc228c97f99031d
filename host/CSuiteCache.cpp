#include "host/CSuiteCache.h"

#include <cstdio>

namespace {

const HostSuiteInfo kSuites[kHostSuiteCount] = {
    {kPFANSISuite, kPFANSISuiteVersion1},
    {kPFHandleSuite, kPFHandleSuiteVersion1},
    {kPFFillMatteSuite, kPFFillMatteSuiteVersion2},
    {kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1},
    {kPFWorldSuite, kPFWorldSuiteVersion2},
    {kPFSampling8Suite, kPFSampling8SuiteVersion1},
    {kPFSampling16Suite, kPFSampling16SuiteVersion1},
    {kPFSamplingFloatSuite, kPFSamplingFloatSuiteVersion1},
    {kPFIterate8Suite, kPFIterate8SuiteVersion1},
    {kPFIterate16Suite, kPFIterate16SuiteVersion1},
    {kPFIterateFloatSuite, kPFIterateFloatSuiteVersion1},
    {kPFPathQuerySuite, kPFPathQuerySuiteVersion1},
    {kPFPathDataSuite, kPFPathDataSuiteVersion1},
    {kPFAppSuite, kPFAppSuiteVersion6},
    {kPFAdvAppSuite, kPFAdvAppSuiteVersion2},
    {kPFAdvItemSuite, kPFAdvItemSuiteVersion1},
    {kPFColorSettingsSuite, kPFColorSettingsSuiteVersion2},
    {kPFColorParamSuite, kPFColorParamSuiteVersion1},
    {kPFColorCallbacks16Suite, kPFColorCallbacks16SuiteVersion1},
    {kPFPixelDataSuite, kPFPixelDataSuiteVersion1},
    {kPFEffectUISuite, kPFEffectUISuiteVersion1},
    {kPFEffectCustomUISuite, kPFEffectCustomUISuiteVersion1},
    {kPFEffectCustomUIOverlayThemeSuite, kPFEffectCustomUIOverlayThemeSuiteVersion1},
    {kPFCacheOnLoadSuite, kPFCacheOnLoadSuiteVersion1},
    {kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_Version1},
    {kDRAWBOT_SupplierSuite, kDRAWBOT_SupplierSuite_Version1},
    {kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_Version1},
    {kDRAWBOT_PathSuite, kDRAWBOT_PathSuite_Version1},
    {kAEGPPluginHelperSuite2, kAEGPPluginHelperSuite2Version1},
    {kAEGPMarkerSuite, kAEGPMarkerSuiteVersion2},
    {kAEGPLayerSuite, kAEGPLayerSuiteVersion8},
    {kAEGPStreamSuite, kAEGPStreamSuiteVersion5},
    {kAEGPDynamicStreamSuite, kAEGPDynamicStreamSuiteVersion4},
    {kAEGPKeyframeSuite, kAEGPKeyframeSuiteVersion4},
    {kAEGPCompSuite, kAEGPCompSuiteVersion11},
    {kAEGPCanvasSuite, kAEGPCanvasSuiteVersion8},
    {kAEGPCameraSuite, kAEGPCameraSuiteVersion2},
    {kAEGPRegisterSuite, kAEGPRegisterSuiteVersion5},
    {kAEGPItemSuite, kAEGPItemSuiteVersion9},
    {kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1},
    {kAEGPMemorySuite, kAEGPMemorySuiteVersion1},
    {kAEGPLightSuite, kAEGPLightSuiteVersion2},
    {kAEGPEffectSuite, kAEGPEffectSuiteVersion4},
    {kAEGPLayerMaskSuite, kAEGPLayerMaskSuiteVersion1},
    {kAEGPMaskOutlineSuite, kAEGPMaskOutlineSuiteVersion3},
    {kAEGPCommandSuite, kAEGPCommandSuiteVersion1},
    {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion6},
    {kAEGPRenderSuite, kAEGPRenderSuiteVersion4},
    {kAEGPQueryXformSuite, kAEGPQueryXformSuiteVersion2},
    {kAEGPCompositeSuite, kAEGPCompositeSuiteVersion2},
    {kAEGPIOInSuite, kAEGPIOInSuiteVersion5},
    {kAEGPIOOutSuite, kAEGPIOOutSuiteVersion5},
    {kAEGPRenderQueueSuite, kAEGPRenderQueueSuiteVersion1},
    {kAEGPRQItemSuite, kAEGPRQItemSuiteVersion4},
    {kAEGPOutputModuleSuite, kAEGPOutputModuleSuiteVersion4},
    {kAEGPFIMSuite, kAEGPFIMSuiteVersion3},
    {kAEGPCollectionSuite, kAEGPCollectionSuiteVersion2},
    {kAEGPTextDocumentSuite, kAEGPTextDocumentSuiteVersion1},
    {kAEGPSoundDataSuite, kAEGPSoundDataSuiteVersion1},
    {kAEGPTextLayerSuite, kAEGPTextLayerSuiteVersion1},
    {kAEGPArtisanUtilSuite, kAEGPArtisanUtilSuiteVersion1},
    {kAEGPWorldSuite, kAEGPWorldSuiteVersion3},
    {kAEGPRenderOptionsSuite, kAEGPRenderOptionsSuiteVersion4},
    {kAEGPTrackerSuite, kAEGPTrackerSuiteVersion1},
    {kAEGPTrackerUtilitySuite, kAEGPTrackerUtilitySuiteVersion1},
    {kAEGPProjSuite, kAEGPProjSuiteVersion6},
    {kAEGPFootageSuite, kAEGPFootageSuiteVersion5},
    {kAEGPPersistentDataSuite, kAEGPPersistentDataSuiteVersion4},
};

CSuiteCache* g_current = nullptr; // guarded by the entry lock

template <class T>
bool acquire_one(SPBasicSuite* broker, const char* name, A_long version, const T** cell)
{
    const void* table = nullptr;
    if (broker->AcquireSuite == nullptr || broker->AcquireSuite(name, version, &table) != kSPNoError ||
        table == nullptr)
        return false;
    *cell = static_cast<const T*>(table);
    return true;
}

} // namespace

const HostSuiteInfo& GetHostSuiteInfo(HostSuite suite) { return kSuites[int(suite)]; }

CSuiteCache::CSuiteCache(SPBasicSuite* broker) : m_broker(broker)
{
    if (broker == nullptr)
        throw CHostError{PF_Err_BAD_CALLBACK_PARAM};
}

CSuiteCache::~CSuiteCache() { ReleaseAll(); }

const void* CSuiteCache::Get(HostSuite suite)
{
    const int i = int(suite);
    if (i < 0 || i >= kHostSuiteCount)
        return nullptr;
    if (m_cells[i] == nullptr) {
        const void* table = nullptr;
        if (m_broker->AcquireSuite &&
            m_broker->AcquireSuite(kSuites[i].name, kSuites[i].version, &table) == kSPNoError)
            m_cells[i] = table;
    }
    return m_cells[i];
}

int CSuiteCache::AcquiredCount() const
{
    int n = 0;
    for (const void* c : m_cells)
        n += c != nullptr;
    return n;
}

void CSuiteCache::ReleaseAll()
{
    for (int i = 0; i < kHostSuiteCount; ++i) {
        if (m_cells[i] == nullptr)
            continue;
        if (m_broker->ReleaseSuite)
            m_broker->ReleaseSuite(kSuites[i].name, kSuites[i].version);
        m_cells[i] = nullptr;
    }
}

CSuiteCache* CurrentSuiteCache() { return g_current; }
void SetCurrentSuiteCache(CSuiteCache* cache) { g_current = cache; }

void SetHostErrorMessage(PF_OutData* out, const char* message)
{
    if (out == nullptr)
        return;
    out->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    std::snprintf(out->return_msg, sizeof(out->return_msg), "%s", message ? message : "");
}

CCustomUISuiteSet::~CCustomUISuiteSet() { ReleaseAcquired(); }

PF_Err CCustomUISuiteSet::Acquire(SPBasicSuite* broker, PF_OutData* out)
{
    ReleaseAcquired();
    m_broker = broker;
    m_acquireCalled = true;
    if (broker == nullptr) {
        SetHostErrorMessage(out, kSuiteAcquireMessage);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const bool ok = acquire_one(broker, kPFEffectCustomUISuite, kPFEffectCustomUISuiteVersion1, &customUI) &&
                    acquire_one(broker, kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_Version1, &draw) &&
                    acquire_one(broker, kDRAWBOT_SupplierSuite, kDRAWBOT_SupplierSuite_Version1, &supplier) &&
                    acquire_one(broker, kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_Version1, &surface) &&
                    acquire_one(broker, kDRAWBOT_PathSuite, kDRAWBOT_PathSuite_Version1, &path);
    if (!ok) {
        ReleaseAcquired();
        SetHostErrorMessage(out, kSuiteAcquireMessage);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return PF_Err_NONE;
}

PF_Err CCustomUISuiteSet::Release(PF_OutData* out)
{
    if (m_acquireCalled && m_broker == nullptr) {
        SetHostErrorMessage(out, kSuiteReleaseMessage);
        m_acquireCalled = false;
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    ReleaseAcquired();
    m_acquireCalled = false;
    return PF_Err_NONE;
}

void CCustomUISuiteSet::ReleaseAcquired()
{
    if (m_broker != nullptr && m_broker->ReleaseSuite != nullptr) {
        if (path)
            m_broker->ReleaseSuite(kDRAWBOT_PathSuite, kDRAWBOT_PathSuite_Version1);
        if (surface)
            m_broker->ReleaseSuite(kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_Version1);
        if (supplier)
            m_broker->ReleaseSuite(kDRAWBOT_SupplierSuite, kDRAWBOT_SupplierSuite_Version1);
        if (draw)
            m_broker->ReleaseSuite(kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_Version1);
        if (customUI)
            m_broker->ReleaseSuite(kPFEffectCustomUISuite, kPFEffectCustomUISuiteVersion1);
    }
    customUI = nullptr;
    draw = nullptr;
    supplier = nullptr;
    surface = nullptr;
    path = nullptr;
}

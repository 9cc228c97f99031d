// The effect: one object serves every instance of the effect (the entry lock makes that safe).
//
// `CEffect` is the base with the render-context bookkeeping; `CEffectVaskel1` is the only effect.
// Virtual operations are in a fixed order (the comment number is each operation's place).
//
// Internal result codes of the effect, translated into host errors by the entry point:
//   0 none, 1 out of memory, 2 bad parameter block, 3 aborted by the host (the host's own code is in
//   LastHostError), 4 nothing to do, anything else "Internal Error %d".
#pragma once

#include <cstdint>

#include "host/CHostInterface.h"
#include "host/CImage32.h"
#include "platform/HyMemory.h"

enum : std::int32_t {
    kEffectOk = 0,
    kEffectOutOfMemory = 1,
    kEffectBadParams = 2,
    kEffectAborted = 3,
    kEffectNothingToDo = 4,
};

// Images of a render call, in this order.
enum : std::int32_t {
    kImageOutput = 0,
    kImageInput = 1,
    kImageUnused2 = 2,
    kImageMap1 = 3,
    kImageMap2 = 4,
    kImageMap3 = 5,
    kImageUnused6 = 6,
    kRenderImageCount = 7,
};

// What the effect is told before a render: the call's time information and its images.
struct CRenderContext {
    CHostTimeInfo time;
    std::int32_t inputCount = 0;
    CImage32* images[kRenderImageCount] = {};
};

class CEffect : public HyAllocated {
public:
    CEffect() = default;
    virtual ~CEffect();                                                          // 0
    virtual const char* GetName();                                               // 1
    // Fixed answers kept at their places; the bridge does not consult them.
    virtual bool IsAvailable();                                                  // 2 (true)
    virtual bool HasDialog();                                                    // 3 (false)
    // Bit 0 wide time input, bit 1 varies without parameter changes, bit 2 pixel independent,
    // bit 3 works in place; the entry point maps them to host out-flags.
    virtual std::uint32_t GetOutFlags();                                          // 4
    // 2 for a null block; otherwise copies it and takes the output and input images out of it.
    virtual std::int32_t SetRenderContext(const CRenderContext* context);        // 5
    virtual std::int32_t ApplySettings(void* settings) = 0;                      // 6
    virtual std::int32_t RenderFrame() = 0;                                       // 7
    virtual std::int32_t UpdateSettingsFromHost();                                // 8
    virtual std::int32_t SetContextAndApply(const CRenderContext* context, void* settings); // 9
    virtual std::int32_t SetContextApplyAndRender(const CRenderContext* context, void* settings); // 10
    virtual void ResetRenderContext();                                           // 11
    virtual void* GetSettings() = 0;                                             // 12
    virtual std::uint32_t GetSettingsSize() = 0;                                  // 13
    virtual std::int32_t ResetToDefaults() = 0;                                  // 14
    virtual void SetHost(CHostInterface* host);                                  // 15
    virtual std::int32_t GetInputCount();                                        // 16
    virtual std::int32_t GetInputParamIndex(std::int32_t input);                 // 17
    virtual std::int32_t KeepRenderContext();                                    // 18
    virtual std::int32_t ResetAll();                                             // 19
    virtual std::uint32_t GetCapabilityMask();                                   // 20 (0xFFFFFFFF)
    virtual std::int32_t ReadSettingsFromHost(void* settings) = 0;               // 21
    // Defines the parameters through the host adapter; returns the count including the host's
    // own input layer.
    virtual std::int32_t RegisterParams() = 0;                                   // 22
    // Renders one frame: time information, context, settings, RenderFrame.
    virtual std::int32_t Render(std::int32_t inputCount, CImage32** images);     // 23
    virtual std::int32_t GetReserved();                                          // 24 (0)

    CHostInterface* Host() const { return m_host; }
    const CRenderContext& RenderContext() const { return m_context; }
    CImage32* OutputImage() const { return m_output; }
    CImage32* InputImage() const { return m_input; }
    std::int32_t LastHostError() const { return m_lastHostError; }
    void SetLastHostError(std::int32_t e) { m_lastHostError = e; }
    bool KeepsRenderContext() const { return m_keepRenderContext != 0; }
    bool SettingsValid() const { return m_settingsValid != 0; }
    std::int32_t Quality() const { return m_quality; } // 2 when the host asks for high quality

protected:
    CHostInterface* m_host = nullptr;
    CRenderContext m_context{};
    CImage32* m_output = nullptr;
    CImage32* m_input = nullptr;
    std::int32_t m_lastHostError = 0;
    std::uint8_t m_keepRenderContext = 0;
    std::uint8_t m_settingsValid = 0;
    std::int32_t m_quality = 0;
};

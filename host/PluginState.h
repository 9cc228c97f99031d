// Process-wide state of the plug-in, one copy per loaded module. The entry lock guards all of it:
// read it only from inside an entry call (the presets panel) or while no call can run (tests).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/HyMemory.h"
#include "sdk/AE_EffectUI.h"

class CAEHost;
class CEffect;

// The current call's data as the presets panel sees it during an event.
struct CEventCallData {
    PF_InData* inData = nullptr;
    PF_OutData* outData = nullptr;
    PF_ParamDef** params = nullptr;
    PF_LayerDef* output = nullptr;
    PF_EventExtra* event = nullptr;
};

PF_InData* CurrentHostData();
CAEHost* CurrentHostAdapter();
CEffect* CurrentEffect();
std::int32_t GlobalSetupCount();
void* ModuleInstance();
const CEventCallData& CurrentEventCallData();

// Version word reported at global setup and in the property data: 1.4.8, release, build 0.
constexpr A_u_long kSeavastVersionWord = 0x000A4600;
constexpr PF_OutFlags2 kSeavastOutFlags2 =
    PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS | PF_OutFlag2_PPRO_DO_NOT_CLONE_SEQUENCE_DATA_FOR_RENDER;
// Tag of blocks the tagged allocator takes from host memory handles ('AETG').
constexpr std::uint32_t kHostMemoryTag = hymem::make_tag('A', 'E', 'T', 'G');
// The editor host, which gives no local-to-global conversion worth using ('PrMr').
constexpr A_long kEditorHostId = 0x50724D72;

// The About text: three lines separated by carriage returns.
const char* AboutText();

// Host out-flags of the effect's flag bits: bit 0 alone wide time input; bit 1 non-param-vary
// (with bit 0 as well, also wide time input); bit 2 pixel independent; bit 3 works in place.
PF_OutFlags MapEffectOutFlags(std::uint32_t effectFlags);

// Translates an internal result code of the effect into a host error, writing the message and the
// display flag into out when the table says so. `lastHostError` is returned for code 3.
PF_Err TranslateInternalError(std::int32_t code, std::int32_t lastHostError, PF_OutData* out);

// The host-memory hook of the tagged allocator: op 1 takes a host handle of bytes + 8, locks it, keeps
// the handle in the first 8 bytes and hands out the address behind it; op 3 unlocks and disposes of
// the handle found 8 bytes before the block. 1 on success, 0 otherwise.
int HostMemoryHook(int op, void** cell, std::size_t bytes, std::uintptr_t user);

// The render command: wraps the output, copies the input and the image-map layers, calls the
// effect's Render and hands the output back in the host's byte order. Returns an internal code.
std::int32_t RunRenderCommand(CAEHost* host, CEffect* effect, PF_InData* in, PF_ParamDef** params,
                              PF_LayerDef* output);

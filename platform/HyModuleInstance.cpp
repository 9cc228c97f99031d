#include "platform/HyModuleInstance.h"

#if defined(_WIN32)
#include "platform/HyWin32.h"
#else
#include <dlfcn.h>
#endif

namespace hyplat {

void* module_instance_of(const void* address)
{
#if defined(_WIN32)
    // Without a reference of its own: the module asks about itself and must stay unloadable.
    HMODULE module = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(address), &module) == 0)
        return nullptr;
    return module;
#else
    Dl_info info{};
    if (dladdr(address, &info) == 0)
        return nullptr;
    return info.dli_fbase;
#endif
}

} // namespace hyplat

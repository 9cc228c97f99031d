// The instance handle of the loaded module that contains a given address (the plug-in asks with the
// address of its own entry point): the base of the DLL on Windows, of the shared object elsewhere.
#pragma once

namespace hyplat {

// Null when the address lies in no loaded module.
void* module_instance_of(const void* address);

} // namespace hyplat

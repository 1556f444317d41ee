#pragma once

#include <dlfcn.h>

#include <type_traits>

/// Loads a library at run time: the file the environment variable
/// `overrideVariable` names when it is set and not empty (tests use this),
/// else `soname`. Null when it cannot be loaded.
void* LoadSharedLibrary(const char* soname, const char* overrideVariable = nullptr, int flags = RTLD_NOW | RTLD_LOCAL);

/// Sets the function pointer `pointer` to `symbol` of `library`; false, and
/// the pointer null, when the library lacks it.
template <typename Pointer>
bool ResolveSymbol(void* library, Pointer& pointer, const char* symbol) {
  pointer = reinterpret_cast<std::remove_reference_t<Pointer>>(::dlsym(library, symbol));
  return pointer != nullptr;
}

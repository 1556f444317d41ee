#include "platform/SharedLibrary.h"

#include <cstdlib>

void* LoadSharedLibrary(const char* soname, const char* overrideVariable, int flags) {
  const char* name = overrideVariable != nullptr ? std::getenv(overrideVariable) : nullptr;
  return ::dlopen(name != nullptr && name[0] != '\0' ? name : soname, flags);
}

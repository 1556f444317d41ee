#include "platform/Cores.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>

int UsableCores() {
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return static_cast<int>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
}

#include "platform/Memory.h"

#include <malloc.h>

void BoundLargeAllocations() { mallopt(M_MMAP_THRESHOLD, 256 * 1024); }

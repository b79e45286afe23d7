#include "platform/MemoryPolicy.h"

#include <cstdlib> // defines __GLIBC__ where it applies

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace volumira {

void configureAllocator() {
#if defined(__GLIBC__)
    // 32 MB is the largest threshold glibc accepts; larger blocks (the atlas volumes) stay mapped.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
#endif
}

} // namespace volumira

#include "MemoryRelease.h"

// Any C library header says which C library this is.
#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif

void releaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

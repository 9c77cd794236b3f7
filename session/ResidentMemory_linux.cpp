#include "ResidentMemory.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

void makeResident(char *data, qsizetype size)
{
#ifdef MADV_POPULATE_WRITE
    // Only whole pages inside the range: the pages at its ends may hold
    // someone else's memory too, and are faulted in as usual.
    static const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
    const quintptr from = (quintptr(data) + page - 1) & ~(page - 1);
    const quintptr to = (quintptr(data) + quintptr(size)) & ~(page - 1);
    // A kernel without it (before 5.14) refuses; the copy then faults as usual.
    if (to > from)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_POPULATE_WRITE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

void keepReadBuffersResident()
{
#ifdef __GLIBC__
    // glibc's own thresholds move with what was freed last: a buffer of a
    // quarter mebibyte freed was mapped apart for itself, or merged into the
    // heap's top and handed back with it, so that the next read's buffer came
    // from fresh pages. Fixed, buffers under a mebibyte stay in the heap, and
    // up to 4 MiB of its top stays with the process.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 4 * 1024 * 1024);
#endif
}

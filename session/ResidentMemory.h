#pragma once

#include <QtGlobal>

// Memory about to be written all through, made resident beforehand in one
// call where the system offers one: a fault a page, taken while copying into
// fresh memory, costs more than the copy itself. Elsewhere it does nothing.
// (ResidentMemory_linux.cpp, ResidentMemory_portable.cpp)
void makeResident(char *data, qsizetype size);

// Buffers of up to a mebibyte that a read allocates and frees again stay in
// the heap, resident, from one read to the next, rather than being handed
// back to the system and faulted in again a page at a time. Qt's TLS path
// makes three such buffers for every read. For the rest of the run.
void keepReadBuffersResident();

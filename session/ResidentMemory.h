#pragma once

#include <QtGlobal>

// Memory about to be written all through, made resident beforehand in one
// call where the system offers one: a fault a page, taken while copying into
// fresh memory, costs more than the copy itself. Elsewhere it does nothing.
// (ResidentMemory_linux.cpp, ResidentMemory_portable.cpp)
void makeResident(char *data, qsizetype size);

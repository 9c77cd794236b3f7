#include "ResidentMemory.h"

void makeResident(char *, qsizetype)
{
}

void keepReadBuffersResident()
{
}

#include "TranscriptLimit.h"

// Where the system cannot be asked, the limit is the largest there is.
TranscriptLimit::Memory TranscriptLimit::systemMemory()
{
    return {};
}

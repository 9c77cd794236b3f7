#pragma once

// Hands memory the program has freed back to the system. A large text freed
// in many small blocks otherwise stays with the allocator, and the process
// keeps its size after the text is gone. Does nothing where the allocator
// gives memory back by itself or offers no way to ask.
void releaseFreedMemory();

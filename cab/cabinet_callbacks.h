// The memory and file callbacks that need nothing of the component, and the warning box that the
// write, close and seek callbacks show when their operation failed.
#pragma once

#include <cstdint>

namespace zarn::cab_callbacks {

void* Alloc(unsigned long size);
void Free(void* block);
// The access mode is the low two bits of the C library's open flags (read, write, read-write).
std::intptr_t Open(char* name, int flags, int mode);
unsigned Read(std::intptr_t file, void* buffer, unsigned count);
long Seek(std::intptr_t file, long distance, int origin);

// Shows the system's text for the error in a modal "Error" box with a warning icon.
void ShowSystemError(std::uint32_t error);

}  // namespace zarn::cab_callbacks

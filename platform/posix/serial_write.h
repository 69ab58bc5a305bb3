// The seam for a fault a real port cannot produce on demand, a write that stalls half way: tests
// may replace the write call of the device; nullptr restores the system's.
#pragma once
#include <cstddef>
#include <sys/types.h>

using PortWriteFunction = ssize_t (*)(int fd, const void* bytes, std::size_t count);
void setPortWriteFunction(PortWriteFunction write);

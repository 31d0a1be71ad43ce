#pragma once
// Memory for the values the services hand out: the process heap on Windows, the C heap in
// the simulated platform. A failed allocation never returns: it ends the program through
// FatalError with "分配 %d 字节内存失败!".
#include <cstddef>

void* AllocateBytes(int count);   // count >= 1; never returns null
void ReleaseBytes(void* block);   // null is fine
[[noreturn]] void AllocationFailed(int count);

#include <windows.h>

#include "services/memory.h"

void* AllocateBytes(int count) {
  void* p = count > 0 ? HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(count)) : nullptr;
  if (!p) AllocationFailed(count);
  return p;
}

void ReleaseBytes(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

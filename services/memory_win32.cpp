#include "services/memory_win32.h"

#include "services/memory.h"

// The process heap, unless a test has handed over a heap of its own.
static HANDLE g_heap = nullptr;

static HANDLE Heap() {
  if (!g_heap) g_heap = GetProcessHeap();
  return g_heap;
}

void UseAllocationHeap(HANDLE heap) { g_heap = heap; }

void* AllocateBytes(int count) {
  void* p = count > 0 ? HeapAlloc(Heap(), 0, static_cast<SIZE_T>(count)) : nullptr;
  if (!p) AllocationFailed(count);
  return p;
}

void ReleaseBytes(void* block) {
  if (block) HeapFree(Heap(), 0, block);
}

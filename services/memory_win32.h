#pragma once
// The heap the memory service takes its blocks from (Win32 only).
#include <windows.h>

// Every later allocation and release goes to heap instead of the process heap. For tests
// that need a heap which stays exhausted (a fixed-size heap of their own), without taking
// the process heap that the system's own libraries share. A block handed out before the
// switch must not be released after it.
void UseAllocationHeap(HANDLE heap);

#pragma once
// The binding and calling machinery of SystemFunctionTable (Win32 only).
#include <windows.h>

#include <cstdint>

#include "services/system_functions.h"

struct SystemFunctionSlot {
  const SystemFunctionDeclaration* declaration;
  FARPROC address;     // null until the first call
  HMODULE module;      // the library that supplied it
};

// Binds the slot at its first use; ends the program through FatalError when the entry point
// cannot be found.
FARPROC BindSystemFunction(SystemFunctionSlot& slot);
// Loads a declared library from the system folder only (a name with a colon unchanged).
HMODULE LoadSystemLibrary(const char* name);
// Calls a bound __stdcall function with count 32-bit arguments and checks that the stack is
// where it was before the arguments were pushed (FatalError code 6 when it is not).
uint32_t CallSystemFunction(SystemFunctionSlot& slot, const uint32_t* args, int count);
// The call itself: answers the result and whether the stack came back balanced.
uint32_t CallStdcallChecked(FARPROC function, const uint32_t* args, int count, bool* balanced);

SystemFunctionSlot& SystemFunctionTable(int entry);
// Frees every library loaded for the table (end clean-up).
void ReleaseSystemFunctions();

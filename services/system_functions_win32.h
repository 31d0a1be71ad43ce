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
// One argument or result of a table call: a pointer-sized word, so that pointers and handles
// travel whole in both builds (32 bits in the i386 program, 64 in the x86-64 twin).
using SystemWord = uintptr_t;
// The most arguments a table call takes.
constexpr int kSystemCallMaxArgs = 8;

// Calls a bound function with count word arguments (at most kSystemCallMaxArgs). In the i386
// program the function is __stdcall and the call checks that the stack is where it was before
// the arguments were pushed (FatalError code 6 when it is not); x86-64 has one calling
// convention, in which the caller owns the stack, so there is nothing to check.
SystemWord CallSystemFunction(SystemFunctionSlot& slot, const SystemWord* args, int count);
// The call itself: answers the result and whether the stack came back balanced (always true
// on x86-64).
SystemWord CallStdcallChecked(FARPROC function, const SystemWord* args, int count, bool* balanced);

SystemFunctionSlot& SystemFunctionTable(int entry);
// Frees every library loaded for the table (end clean-up).
void ReleaseSystemFunctions();

// SystemFunctionTable: nine Windows functions declared by library and entry-point name and
// bound at their first call. Libraries are only ever taken from the system folder: the host
// folder is full of third-party DLLs, and a "gdi32.dll" left there must never run inside the
// installer.
#include "services/system_functions_win32.h"

#include <cstdio>
#include <cstring>

#include "services/fatal.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

static SystemFunctionSlot g_slots[kSystemFunctionCount] = {
    {&kSystemFunctionDeclarations[0], nullptr, nullptr},
    {&kSystemFunctionDeclarations[1], nullptr, nullptr},
    {&kSystemFunctionDeclarations[2], nullptr, nullptr},
    {&kSystemFunctionDeclarations[3], nullptr, nullptr},
    {&kSystemFunctionDeclarations[4], nullptr, nullptr},
    {&kSystemFunctionDeclarations[5], nullptr, nullptr},
    {&kSystemFunctionDeclarations[6], nullptr, nullptr},
    {&kSystemFunctionDeclarations[7], nullptr, nullptr},
    {&kSystemFunctionDeclarations[8], nullptr, nullptr},
};

SystemFunctionSlot& SystemFunctionTable(int entry) { return g_slots[entry]; }

HMODULE LoadSystemLibrary(const char* name) {
  if (std::strchr(name, ':')) return LoadLibraryA(name);
  HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module) return module;
  // Systems without the search flag: join the system folder and the name by hand.
  char path[MAX_PATH + 64];
  const UINT n = GetSystemDirectoryA(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || n + 1 + std::strlen(name) >= sizeof path) return nullptr;
  path[n] = '\\';
  std::strcpy(path + n + 1, name);
  return LoadLibraryA(path);
}

FARPROC BindSystemFunction(SystemFunctionSlot& slot) {
  if (slot.address) return slot.address;
  const SystemFunctionDeclaration& d = *slot.declaration;
  if (d.library) {
    HMODULE module = LoadSystemLibrary(d.library);
    FARPROC address = module ? GetProcAddress(module, d.entryPoint) : nullptr;
    if (!address) {
      if (module) FreeLibrary(module);
      char message[512];
      std::snprintf(message, sizeof message, "无法找到指定DLL库文件“%s”中的输出命令“%s”",
                    d.library, d.entryPoint);
      FatalError(message, 0);
    }
    slot.module = module;
    slot.address = address;
    return address;
  }
  static const char* const kStandardLibraries[] = {"Kernel32.dll", "Gdi32.dll", "User32.dll",
                                                   "Advapi32.dll", "Mpr.dll", "Shell32.dll"};
  for (const char* library : kStandardLibraries) {
    HMODULE module = LoadSystemLibrary(library);
    if (!module) continue;
    FARPROC address = GetProcAddress(module, d.entryPoint);
    if (address) {
      slot.module = module;
      slot.address = address;
      return address;
    }
    FreeLibrary(module);
  }
  char message[512];
  std::snprintf(message, sizeof message, "无法找到指定DLL库文件中的输出命令“%s”", d.entryPoint);
  FatalError(message, 0);
}

uint32_t CallStdcallChecked(FARPROC function, const uint32_t* args, int count, bool* balanced) {
  uint32_t result, before, after;
  int n = count;
  // Push the arguments last to first, call, and compare the stack pointer with its value
  // before the pushes; the stack is put back either way.
  __asm__ volatile(
      "movl %%esp, %%esi\n\t"
      "testl %%ecx, %%ecx\n\t"
      "jz 2f\n"
      "1:\n\t"
      "pushl -4(%%edi,%%ecx,4)\n\t"
      "decl %%ecx\n\t"
      "jnz 1b\n"
      "2:\n\t"
      "call *%%ebx\n\t"
      "movl %%esp, %%edx\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(result), "=d"(after), "=S"(before), "+c"(n)
      : "b"(function), "D"(args)
      : "memory", "cc");
  *balanced = before == after;
  return result;
}

uint32_t CallSystemFunction(SystemFunctionSlot& slot, const uint32_t* args, int count) {
  FARPROC function = BindSystemFunction(slot);
  bool balanced = true;
  const uint32_t result = CallStdcallChecked(function, args, count, &balanced);
  if (!balanced) FatalError("调用DLL命令后发现堆栈错误", 6);
  return result;
}

void ReleaseSystemFunctions() {
  for (SystemFunctionSlot& slot : g_slots) {
    if (slot.module) FreeLibrary(slot.module);
    slot.module = nullptr;
    slot.address = nullptr;
  }
}

static uint32_t U(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

void* SysAddFontMemResourceEx(const void* font, uint32_t size, void* reserved, uint32_t* count) {
  const uint32_t args[] = {U(font), size, U(reserved), U(count)};
  return reinterpret_cast<void*>(
      static_cast<uintptr_t>(CallSystemFunction(g_slots[kAddFontMemResourceExEntry], args, 4)));
}

int SysRemoveFontMemResourceEx(void* handle) {
  const uint32_t args[] = {U(handle)};
  return static_cast<int>(CallSystemFunction(g_slots[kRemoveFontMemResourceExEntry], args, 1));
}

int SysWideCharToMultiByte(uint32_t codePage, uint32_t flags, const void* wide, int wideLength,
                           char* out, int outSize, const char* defaultChar, int* usedDefault) {
  const uint32_t args[] = {codePage, flags, U(wide), static_cast<uint32_t>(wideLength),
                           U(out), static_cast<uint32_t>(outSize), U(defaultChar), U(usedDefault)};
  return static_cast<int>(CallSystemFunction(g_slots[kWideCharToMultiByteEntry], args, 8));
}

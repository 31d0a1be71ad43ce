// SystemFunctionTable: nine Windows functions declared by library and entry-point name and
// bound at their first call. Libraries are only ever taken from the system folder: the host
// folder is full of third-party DLLs, and a "gdi32.dll" left there must never run inside the
// installer.
#include "services/system_functions_win32.h"

#include <cstring>
#include <initializer_list>

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

// The parts one after another in out, cut where out is full (as snprintf would cut them).
static void JoinInto(char* out, size_t size, std::initializer_list<const char*> parts) {
  size_t used = 0;
  for (const char* part : parts)
    for (const char* c = part ? part : ""; *c && used + 1 < size; ++c) out[used++] = *c;
  out[used] = 0;
}

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
      JoinInto(message, sizeof message,
               {"无法找到指定DLL库文件“", d.library, "”中的输出命令“", d.entryPoint, "”"});
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
  JoinInto(message, sizeof message, {"无法找到指定DLL库文件中的输出命令“", d.entryPoint, "”"});
  FatalError(message, 0);
}

#if defined(__i386__)

SystemWord CallStdcallChecked(FARPROC function, const SystemWord* args, int count, bool* balanced) {
  static_assert(sizeof(SystemWord) == 4, "one stack slot per argument");
  SystemWord result, before, after;
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

#else

// x86-64: the first four words travel in registers, the rest on a stack the caller sets up and
// takes down, so calling through a pointer of the right arity is the whole call.
SystemWord CallStdcallChecked(FARPROC function, const SystemWord* args, int count, bool* balanced) {
  using W = SystemWord;
  const void* f = reinterpret_cast<const void*>(function);
  W a[kSystemCallMaxArgs] = {};
  for (int i = 0; i < count && i < kSystemCallMaxArgs; ++i) a[i] = args[i];
  *balanced = true;
  switch (count) {
    case 0: return reinterpret_cast<W (*)()>(f)();
    case 1: return reinterpret_cast<W (*)(W)>(f)(a[0]);
    case 2: return reinterpret_cast<W (*)(W, W)>(f)(a[0], a[1]);
    case 3: return reinterpret_cast<W (*)(W, W, W)>(f)(a[0], a[1], a[2]);
    case 4: return reinterpret_cast<W (*)(W, W, W, W)>(f)(a[0], a[1], a[2], a[3]);
    case 5: return reinterpret_cast<W (*)(W, W, W, W, W)>(f)(a[0], a[1], a[2], a[3], a[4]);
    case 6: return reinterpret_cast<W (*)(W, W, W, W, W, W)>(f)(a[0], a[1], a[2], a[3], a[4], a[5]);
    case 7:
      return reinterpret_cast<W (*)(W, W, W, W, W, W, W)>(f)(a[0], a[1], a[2], a[3], a[4], a[5],
                                                             a[6]);
    default:
      return reinterpret_cast<W (*)(W, W, W, W, W, W, W, W)>(f)(a[0], a[1], a[2], a[3], a[4],
                                                                a[5], a[6], a[7]);
  }
}

#endif

SystemWord CallSystemFunction(SystemFunctionSlot& slot, const SystemWord* args, int count) {
  FARPROC function = BindSystemFunction(slot);
  bool balanced = true;
  const SystemWord result = CallStdcallChecked(function, args, count, &balanced);
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

static SystemWord W(const void* p) { return reinterpret_cast<SystemWord>(p); }
// A signed int argument: sign-extended, as the callee reads only its low 32 bits.
static SystemWord I(int v) { return static_cast<SystemWord>(static_cast<intptr_t>(v)); }

void* SysAddFontMemResourceEx(const void* font, uint32_t size, void* reserved, uint32_t* count) {
  const SystemWord args[] = {W(font), size, W(reserved), W(count)};
  return reinterpret_cast<void*>(CallSystemFunction(g_slots[kAddFontMemResourceExEntry], args, 4));
}

int SysRemoveFontMemResourceEx(void* handle) {
  const SystemWord args[] = {W(handle)};
  return static_cast<int>(CallSystemFunction(g_slots[kRemoveFontMemResourceExEntry], args, 1));
}

int SysWideCharToMultiByte(uint32_t codePage, uint32_t flags, const void* wide, int wideLength,
                           char* out, int outSize, const char* defaultChar, int* usedDefault) {
  const SystemWord args[] = {codePage, flags, W(wide), I(wideLength),
                             W(out), I(outSize), W(defaultChar), W(usedDefault)};
  return static_cast<int>(CallSystemFunction(g_slots[kWideCharToMultiByteEntry], args, 8));
}

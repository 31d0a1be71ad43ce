#pragma once
// Windows functions beyond the ordinary imports, declared by library and entry-point name in
// SystemFunctionTable and bound at their first call. These are the calls the portable code
// makes through the table; the process search uses its entries inside the Win32 backend.
#include <cstdint>

enum SystemFunctionEntry {
  kRemoveFontMemResourceExEntry = 0,
  kWideCharToMultiByteEntry = 1,
  kAddFontMemResourceExEntry = 2,
  kOpenProcessEntry = 3,
  kTerminateProcessEntry = 4,
  kCreateToolhelp32SnapshotEntry = 5,
  kProcess32FirstEntry = 6,
  kCloseHandleEntry = 7,
  kProcess32NextEntry = 8,
  kSystemFunctionCount = 9,
};

struct SystemFunctionDeclaration {
  const char* library;      // null: searched in the standard system libraries
  const char* entryPoint;
};
extern const SystemFunctionDeclaration kSystemFunctionDeclarations[kSystemFunctionCount];

void* SysAddFontMemResourceEx(const void* font, uint32_t size, void* reserved, uint32_t* count);
int SysRemoveFontMemResourceEx(void* handle);
int SysWideCharToMultiByte(uint32_t codePage, uint32_t flags, const void* wide, int wideLength,
                           char* out, int outSize, const char* defaultChar, int* usedDefault);

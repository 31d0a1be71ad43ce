#include <windows.h>
#include <shellapi.h>

#include "services/platform.h"

void OpenWebAddress(const char* address) {
  HWND owner = FindWindowExA(nullptr, nullptr, nullptr, "Microsoft Internet Explorer");
  ShellExecuteA(owner, "open", address ? address : "", nullptr, nullptr, SW_SHOWNORMAL);
}

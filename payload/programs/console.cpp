// The plugin console: a small window saying the plugin console is running, with the number
// of help entries it carries. Closing the window ends the program.
#include <windows.h>

#include "standin_ids.h"

namespace {

const char kClassName[] = "TovaraConsoleWindow";
const char kTitle[] = "Tovara娱乐插件1.3.1版本控制台";
const char kRunning[] = "Tovara娱乐插件控制台正在运行……";
const char kEntries[] = "已载入帮助条目 %d 条，关闭本窗口即退出控制台。";

HWND g_status = nullptr;
HWND g_detail = nullptr;

// Counts the lines of the help text built into the program.
int CountHelpEntries(HINSTANCE instance) {
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(IDR_HELP_TEXT), MAKEINTRESOURCEA(10));
  if (found == nullptr) return 0;
  HGLOBAL loaded = LoadResource(instance, found);
  const char* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (text == nullptr) return 0;
  DWORD size = SizeofResource(instance, found);
  int lines = 0;
  for (DWORD i = 0; i < size; ++i)
    if (text[i] == '\n') ++lines;
  return lines;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: {
      HINSTANCE instance = reinterpret_cast<LPCREATESTRUCTA>(lparam)->hInstance;
      HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
      g_status = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT, 16, 16, 400,
                                 20, window, nullptr, instance, nullptr);
      g_detail = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT, 16, 44, 400,
                                 20, window, nullptr, instance, nullptr);
      SendMessageA(g_status, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      SendMessageA(g_detail, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      SetWindowTextA(g_status, kRunning);
      char line[128];
      wsprintfA(line, kEntries, CountHelpEntries(instance));
      SetWindowTextA(g_detail, line);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  wc.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  if (!RegisterClassExA(&wc)) return 1;

  HWND window = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU |
                                WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT, 448, 120, nullptr,
                                nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

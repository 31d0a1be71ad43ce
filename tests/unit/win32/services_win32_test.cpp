// The Win32 bodies of the system services, run under Wine: Delay and its dispatch, message
// boxes, the process search against real processes, and SystemFunctionTable.
#include <windows.h>
#include <tlhelp32.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "box_capture.h"
#include "services/fatal.h"
#include "services/frame_state.h"
#include "services/memory_win32.h"
#include "services/platform.h"
#include "services/system_functions_win32.h"
#include "services/text_ops.h"
#include "window/spinner.h"

namespace {

// A hidden window that counts what Delay dispatches to it.
struct CountingWindow {
  static inline int posted = 0;
  static inline int ticks = 0;
  HWND hwnd = nullptr;
  CountingWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TovaraTestCounter";
    RegisterClassA(&wc);
    hwnd = CreateWindowA("TovaraTestCounter", "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    posted = ticks = 0;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  ~CountingWindow() { DestroyWindow(hwnd); }
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_APP) ++posted;
    if (msg == WM_TIMER) ++ticks;
    return DefWindowProcA(h, msg, w, l);
  }
};

TEST(DelayWin32, ZeroAndNegativeDispatchNothing) {
  CountingWindow w;
  PostMessageA(w.hwnd, WM_APP, 0, 0);
  Delay(0);
  Delay(-5);
  EXPECT_EQ(CountingWindow::posted, 0);
  Delay(1);
  EXPECT_EQ(CountingWindow::posted, 1);
}

TEST(DelayWin32, LastsStrictlyLongerThanAskedAndDeliversTimerTicks) {
  CountingWindow w;
  SetTimer(w.hwnd, 1, 30, nullptr);
  const DWORD start = GetTickCount();
  Delay(300);
  const DWORD elapsed = GetTickCount() - start;
  KillTimer(w.hwnd, 1);
  EXPECT_GT(elapsed, 300u);
  EXPECT_LT(elapsed, 600u);
  EXPECT_GE(CountingWindow::ticks, 5);
}

TEST(DelayWin32, ShortDelaysStayShort) {
  // A Delay(10) ends at the first look after the tick counter has shown 11 ms more, which
  // comes 10 to 11 ms after its start; 50 of them, one after the other, like the count the
  // installation shows, are timed by the performance counter.
  LARGE_INTEGER frequency, before, after;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&before);
  for (int i = 0; i < 50; ++i) {
    const DWORD start = GetTickCount();
    Delay(10);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GT(elapsed, 10u);
    EXPECT_LT(elapsed, 60u);
  }
  QueryPerformanceCounter(&after);
  const double meanMs = 1000.0 * (after.QuadPart - before.QuadPart) / frequency.QuadPart / 50;
  EXPECT_LT(meanMs, 13.0) << "(generous: a busy machine wakes the thread late)";
}

TEST(DelayWin32, AWaitingQuitRequestIsLeftAndTheDelayLastsItsTime) {
  CountingWindow w;
  PostQuitMessage(0);
  const DWORD start = GetTickCount();
  Delay(2000);
  const DWORD elapsed = GetTickCount() - start;
  EXPECT_GT(elapsed, 2000u);
  EXPECT_LT(elapsed, 2600u);
  MSG m;
  EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit request stays";
}

TEST(DelayWin32, SleepsInsteadOfSpinning) {
  FILETIME c, e, k0, u0, k1, u1;
  GetProcessTimes(GetCurrentProcess(), &c, &e, &k0, &u0);
  Delay(1000);
  GetProcessTimes(GetCurrentProcess(), &c, &e, &k1, &u1);
  auto ticks = [](FILETIME f) { return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  const unsigned long long cpu100ns = (ticks(k1) - ticks(k0)) + (ticks(u1) - ticks(u0));
  // A busy poll would burn the whole second; allow a generous tenth of it.
  EXPECT_LT(cpu100ns, 1000000ull);
}

TEST(MessageBoxWin32, DefaultTitleTextAndEscOnAnOkBox) {
  BoxCapture capture;
  EXPECT_EQ(ShowMessageBox("正文", 16), 0);
  EXPECT_EQ(ShowMessageBox("其他", 48, "关闭进程提示"), 0);
  ASSERT_EQ(capture.Boxes().size(), 2u);
  EXPECT_EQ(capture.Boxes()[0].title, "信息：");
  EXPECT_EQ(capture.Boxes()[0].text, "正文");
  EXPECT_EQ(capture.Boxes()[1].title, "关闭进程提示");
}

TEST(MessageBoxWin32, ButtonsTranslateToButtonCodes) {
  BoxCapture capture(IDNO);
  EXPECT_EQ(ShowMessageBox("?", MB_YESNO, "T"), 6);
}

// ---- The process search against real processes.
std::string HelperPath(const char* name) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  Text dir = FolderOfPath(path);   // build/win32/tests
  Text parent = FolderOfPath(dir.c_str());
  return std::string(parent.c_str()) + "\\helpers\\" + name;
}

std::string TempFolder(const char* name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string dir = std::string(temp) + name;
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

HANDLE StartCopy(const std::string& source, const std::string& target) {
  CopyFileA(source.c_str(), target.c_str(), FALSE);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + target + "\" 60";
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

std::vector<DWORD> SnapshotPidsNamed(const char* name) {
  std::vector<DWORD> pids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 e;
  e.dwSize = sizeof e;
  for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e))
    if (lstrcmpiA(e.szExeFile, name) == 0) pids.push_back(e.th32ProcessID);
  CloseHandle(snap);
  return pids;
}

TEST(ProcessWin32, TerminatesOnlyTheFirstOfTwoAndMatchesWithoutCase) {
  const std::string helper = HelperPath("idle_wait.exe");
  ASSERT_NE(GetFileAttributesA(helper.c_str()), INVALID_FILE_ATTRIBUTES) << helper;
  HANDLE a = StartCopy(helper, TempFolder("tovara-proc-a") + "\\TOVARAHOST.EXE");
  HANDLE b = StartCopy(helper, TempFolder("tovara-proc-b") + "\\tovarahost.exe");
  ASSERT_TRUE(a && b);
  Sleep(300);
  std::vector<DWORD> order = SnapshotPidsNamed("tovarahost.exe");
  ASSERT_EQ(order.size(), 2u);

  EXPECT_EQ(FindProcessId("TovaraHost.exe", true), 0u);
  EXPECT_EQ(FindProcessId("TovaraHost.exe", false), order[0]);
  EXPECT_FALSE(TerminateProcessByName("TovaraHost", false));
  EXPECT_FALSE(TerminateProcessByName("TovaraHost.exe.bak", false));
  EXPECT_TRUE(TerminateProcessByName("TovaraHost.exe", false));
  Sleep(300);
  std::vector<DWORD> left = SnapshotPidsNamed("tovarahost.exe");
  ASSERT_EQ(left.size(), 1u) << "only one process ends per call";
  EXPECT_EQ(left[0], order[1]);
  HANDLE first = GetProcessId(a) == order[0] ? a : b;
  DWORD code = 1234;
  WaitForSingleObject(first, 2000);
  GetExitCodeProcess(first, &code);
  EXPECT_EQ(code, 0u);
  TerminateProcess(a, 9);
  TerminateProcess(b, 9);
  WaitForSingleObject(a, 2000);
  WaitForSingleObject(b, 2000);
  CloseHandle(a);
  CloseHandle(b);
  for (const char* dir : {"tovara-proc-a", "tovara-proc-b"}) {
    const std::string folder = TempFolder(dir);
    DeleteFileA((folder + "\\tovarahost.exe").c_str());
    RemoveDirectoryA(folder.c_str());
  }
}

TEST(ProcessWin32, NoMatchTerminatesNothing) {
  EXPECT_EQ(FindProcessId("no-such-program.exe"), 0u);
  EXPECT_FALSE(TerminateProcessByName("no-such-program.exe", false));
}

// ---- SystemFunctionTable.
template <typename F>
FARPROC AsFarProc(F* f) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(f));
}

#if defined(__i386__)
int __cdecl CdeclAdd(int a, int b) { return a + b; }
int __stdcall StdcallAdd(int a, int b) { return a + b; }

TEST(SystemFunctionTableWin32, TheStackCheckTellsCallingConventionsApart) {
  const SystemWord args[] = {2, 3};
  bool balanced = false;
  EXPECT_EQ(CallStdcallChecked(AsFarProc(&StdcallAdd), args, 2, &balanced), 5u);
  EXPECT_TRUE(balanced);
  EXPECT_EQ(CallStdcallChecked(AsFarProc(&CdeclAdd), args, 2, &balanced), 5u);
  EXPECT_FALSE(balanced);
  // No arguments: a cdecl function with none leaves the stack where it was.
  EXPECT_EQ(CallStdcallChecked(AsFarProc(&GetCurrentProcessId), nullptr, 0, &balanced),
            GetCurrentProcessId());
  EXPECT_TRUE(balanced);
}
#else
SystemWord g_received[kSystemCallMaxArgs];
SystemWord EightWords(SystemWord a, SystemWord b, SystemWord c, SystemWord d, SystemWord e,
                      SystemWord f, SystemWord g, SystemWord h) {
  const SystemWord all[] = {a, b, c, d, e, f, g, h};
  std::memcpy(g_received, all, sizeof all);
  return h;
}

TEST(SystemFunctionTableWin32, EveryArgumentArrivesAsAWholeWord) {
  // Four words in registers, four on the stack; pointers and handles above 4 GB stay whole.
  static char here;
  const SystemWord args[] = {0x1122334455667788u, 2, 0xFFFFFFFF00000003u, 4,
                             reinterpret_cast<SystemWord>(&here), 6, 0x8000000000000007u,
                             0xFEDCBA9876543210u};
  bool balanced = false;
  EXPECT_EQ(CallStdcallChecked(AsFarProc(&EightWords), args, 8, &balanced), args[7]);
  EXPECT_TRUE(balanced);
  for (int i = 0; i < kSystemCallMaxArgs; ++i) EXPECT_EQ(g_received[i], args[i]) << i;
  EXPECT_EQ(CallStdcallChecked(AsFarProc(&GetCurrentProcessId), nullptr, 0, &balanced) & 0xFFFFFFFFu,
            GetCurrentProcessId());
}
#endif

TEST(SystemFunctionTableWin32, EntriesBindAtFirstCallFromTheSystemFolder) {
  SystemFunctionSlot& slot = SystemFunctionTable(kWideCharToMultiByteEntry);
  Text glyph = GlyphText(0xE052);
  ASSERT_NE(slot.address, nullptr);
  char path[MAX_PATH] = {0};
  GetModuleFileNameA(slot.module, path, MAX_PATH);
  Text lower = ToLower(path);
  EXPECT_NE(std::strstr(lower.c_str(), "system32"), nullptr) << path;
  // Code page 936 keeps the private-use code points as double-byte characters.
  EXPECT_EQ(GetACP(), 936u);
  EXPECT_EQ(glyph.Length(), 2);
  // The nameless entries are found in the standard libraries.
  EXPECT_EQ(FindProcessId("no-such-program.exe"), 0u);
  EXPECT_NE(SystemFunctionTable(kCreateToolhelp32SnapshotEntry).address, nullptr);
}

const SystemFunctionDeclaration kMissingNamed = {"gdi32.dll", "NoSuchEntryPoint"};
const SystemFunctionDeclaration kMissingNameless = {nullptr, "NoSuchEntryPoint"};

void BindMissingNamed() {
  BoxCapture capture;
  SystemFunctionSlot slot = {&kMissingNamed, nullptr, nullptr};
  BindSystemFunction(slot);
}

void BindMissingNameless() {
  BoxCapture capture;
  SystemFunctionSlot slot = {&kMissingNameless, nullptr, nullptr};
  BindSystemFunction(slot);
}

#if defined(__i386__)
void CallUnbalanced() {
  BoxCapture capture;
  const SystemFunctionDeclaration decl = {"kernel32", "WideCharToMultiByte"};
  SystemFunctionSlot slot = {&decl, AsFarProc(&CdeclAdd), nullptr};
  const SystemWord args[] = {1, 2};
  CallSystemFunction(slot, args, 2);
}
#endif

std::string ExpectedBox(const char* message, int code) {
  const FatalReport report = FatalErrorReport(message, code);
  return "BOX\\[" + BoxCapture::Hex("错误") + "\\|" + BoxCapture::Hex(report.c_str()) + "\\]";
}

TEST(SystemFunctionTableWin32DeathTest, BindingFailuresAndAnUnbalancedStackEndWithMinusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(BindMissingNamed(), ::testing::ExitedWithCode(-1),
              ExpectedBox("无法找到指定DLL库文件“gdi32.dll”中的输出命令“NoSuchEntryPoint”", 0));
  EXPECT_EXIT(BindMissingNameless(), ::testing::ExitedWithCode(-1),
              ExpectedBox("无法找到指定DLL库文件中的输出命令“NoSuchEntryPoint”", 0));
#if defined(__i386__)
  EXPECT_EXIT(CallUnbalanced(), ::testing::ExitedWithCode(-1),
              ExpectedBox("调用DLL命令后发现堆栈错误", 6));
#endif
}

// The heap stays exhausted: every allocation from now on fails, the report's included.
void AllocateFromAnExhaustedHeap() {
  BoxCapture capture;
  HANDLE heap = HeapCreate(0, 0x10000, 0x10000);   // a fixed size: it never grows
  for (SIZE_T size = 0x1000; size > 0; size /= 2)
    while (HeapAlloc(heap, 0, size)) {
    }
  UseAllocationHeap(heap);
  Text text("0123456789");
  std::fprintf(stderr, "allocation returned\n");
  ExitProcess(7);
}

TEST(MemoryWin32DeathTest, ALastingAllocationFailureStillReports) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(AllocateFromAnExhaustedHeap(), ::testing::ExitedWithCode(-1),
              ExpectedBox("分配 11 字节内存失败!", 0));
}

}  // namespace

// observer.exe: starts a program and watches its windows from outside until it exits.
//
//   observer.exe [options] LOG_FILE PROGRAM.exe [WORKDIR]
//
// PROGRAM is started with CreateProcessA and no arguments, in WORKDIR or else in its own
// folder. Every ~5 ms the observer walks the program's top-level windows (EnumWindows, kept
// when GetWindowThreadProcessId names the program's process; message boxes are top-level
// windows of class #32770 and come the same way) and their child controls (GW_CHILD /
// GW_HWNDNEXT, so in stacking order, z=0 on top). It writes one line to LOG_FILE for every
// change, flushed at once, in UTF-8; the first number is the milliseconds since the program
// was started (all changes seen in one poll carry the poll's time; "gone" lines come first):
//
//   T start pid=N program="..." workdir="..."
//   T window hwnd=0x.. class="..." title="..." rect=l,t,r,b client=l,t,r,b visible=1
//         foreground=0 style=0x........ exstyle=0x........
//   T box hwnd=0x.. title="..." text="..." rect=l,t,r,b client=l,t,r,b visible=1
//         foreground=0 style=0x........ exstyle=0x........
//   T control hwnd=0x.. parent=0x.. z=N class="..." id=N text="..." rect=l,t,r,b visible=1
//         enabled=1 style=0x........
//   T gone hwnd=0x..
//   T exit code=N
//
// (each record on one line.) A window or control line is written again in full whenever any
// of its fields changes, so the last line for a hwnd is its current state.
//  - window/box rect and client are screen coordinates (client: the client area's corners);
//    a control's rect is relative to its parent's client area.
//  - window visible is IsWindowVisible; control visible is the control's own WS_VISIBLE bit
//    (so a control keeps visible=1 while its hidden parent is not shown yet).
//  - a box is a #32770 window; its text is the text of its static control 0xFFFF.
//  - texts are read with GetWindowTextW, which reads the stored text without sending the
//    window a message, so a busy program is never stalled. Escapes: \\ \" \r \n \t and
//    \xNN for other control characters.
//  - exit code is GetExitCodeProcess's DWORD in unsigned decimal: -1 reads 4294967295.
//
// Options:
//   --close-boxes-after MS  clicks the first button of every box MS ms after it appeared.
//   --interval MS           polls every MS ms instead of every ~5 ms (each poll is some
//                           thirty calls to Wine's server, which the watched program shares).
//   --timeout MS            when the program still runs after MS ms: logs "timeout" and
//                           terminates it with exit code 259.
//   --stats FILE            when the watch ends, writes the program's resource figures to
//                           FILE, one "name value" a line (the log is unchanged):
//                             cpu_kernel_ms / cpu_user_ms   GetProcessTimes, at the end
//                                                           (Wine 8 answers for another
//                                                           process with the caller's own
//                                                           times: read /proc there)
//                             lifetime_ms                   its exit time minus its creation
//                                                           time (GetProcessTimes)
//                             first_visible_ms              observer ms when a top-level
//                                                           window of its first thread was
//                                                           first seen visible (-1: never;
//                                                           Wine reuses a process id at once,
//                                                           so a window an ended program
//                                                           leaves may briefly carry it)
//                             exit_ms                       observer ms when its end was seen
//                             peak_working_set_bytes        GetProcessMemoryInfo, the largest
//                             peak_pagefile_bytes           value read while it ran or after
//                             samples                       how many memory readings succeeded
// The observer's own exit code is 0 when it watched the program to its end, 2 on bad usage
// or when the program could not be started, 3 on timeout.
#include <windows.h>
#include <psapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

FILE* g_log = nullptr;
LARGE_INTEGER g_start, g_freq;

long long NowMs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return (now.QuadPart - g_start.QuadPart) * 1000 / g_freq.QuadPart;
}

void LogLineAt(long long ms, const std::string& body) {
  std::fprintf(g_log, "%lld %s\n", ms, body.c_str());
  std::fflush(g_log);
}

void LogLine(const std::string& body) { LogLineAt(NowMs(), body); }

std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::string Utf8(const wchar_t* text, int length) {
  if (length <= 0) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], size, nullptr, nullptr);
  return out;
}

// The stored text of any window, as UTF-8, escaped for one log line between quotes.
std::string QuotedText(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  std::vector<wchar_t> buffer(length + 64);
  int got = GetWindowTextW(hwnd, buffer.data(), static_cast<int>(buffer.size()));
  std::string raw = Utf8(buffer.data(), got);
  std::string out = "\"";
  for (unsigned char c : raw) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F)
          out += Format("\\x%02X", c);
        else
          out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string ClassOf(HWND hwnd) {
  wchar_t name[256];
  int got = GetClassNameW(hwnd, name, 256);
  return Utf8(name, got);
}

std::string RectText(const RECT& r) {
  return Format("%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom);
}

struct Seen {
  std::string line;  // everything after the timestamp
  long long firstSeen = 0;
  bool isBox = false;
  bool closeSent = false;
  bool alive = false;
};

std::map<HWND, Seen> g_seen;
long long g_firstVisible = -1;  // for --stats: first poll that saw a visible top-level window
DWORD g_mainThread = 0;         // of the program's first thread
DWORD g_pid = 0;
std::vector<HWND> g_topLevel;
long long g_pollTime = 0;             // every line of one poll carries the poll's start time
std::vector<std::string> g_pollLines;  // the poll's changes, written once the poll is complete

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == g_pid) g_topLevel.push_back(hwnd);
  return TRUE;
}

// Records the state read from hwnd. A window destroyed while it was being read answers
// with empty values; such a reading is dropped, and the window is reported gone.
void Note(HWND hwnd, const std::string& line, bool isBox) {
  if (!IsWindow(hwnd)) return;
  auto found = g_seen.find(hwnd);
  if (found == g_seen.end()) {
    Seen seen;
    seen.line = line;
    seen.firstSeen = g_pollTime;
    seen.isBox = isBox;
    seen.alive = true;
    g_seen[hwnd] = seen;
    g_pollLines.push_back(line);
    return;
  }
  found->second.alive = true;
  if (found->second.line != line) {
    found->second.line = line;
    g_pollLines.push_back(line);
  }
}

void ObserveControls(HWND parent) {
  int z = 0;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    LONG style = GetWindowLongW(child, GWL_STYLE);
    std::string line = Format("control hwnd=0x%lX parent=0x%lX z=%d class=\"",
                              static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(child)),
                              static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(parent)), z);
    line += ClassOf(child) + "\"";
    line += Format(" id=%ld text=", static_cast<long>(GetDlgCtrlID(child)));
    line += QuotedText(child);
    line += " rect=" + RectText(r);
    line += Format(" visible=%d enabled=%d style=0x%08lX", (style & WS_VISIBLE) ? 1 : 0,
                   IsWindowEnabled(child) ? 1 : 0, static_cast<unsigned long>(style));
    Note(child, line, false);
    ObserveControls(child);
    ++z;
  }
}

void ObserveTopLevel(HWND hwnd) {
  std::string cls = ClassOf(hwnd);
  bool isBox = cls == "#32770";
  RECT r, client;
  GetWindowRect(hwnd, &r);
  GetClientRect(hwnd, &client);
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
  std::string line =
      Format("%s hwnd=0x%lX", isBox ? "box" : "window",
             static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(hwnd)));
  if (!isBox) line += " class=\"" + cls + "\"";
  line += " title=" + QuotedText(hwnd);
  if (isBox) {
    HWND text = GetDlgItem(hwnd, 0xFFFF);
    line += " text=" + (text ? QuotedText(text) : std::string("\"\""));
  }
  line += " rect=" + RectText(r) + " client=" + RectText(client);
  line += Format(" visible=%d foreground=%d style=0x%08lX exstyle=0x%08lX",
                 IsWindowVisible(hwnd) ? 1 : 0, GetForegroundWindow() == hwnd ? 1 : 0,
                 static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_STYLE)),
                 static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
  Note(hwnd, line, isBox);
  if (g_firstVisible < 0 && IsWindowVisible(hwnd) &&
      GetWindowThreadProcessId(hwnd, nullptr) == g_mainThread)
    g_firstVisible = g_pollTime;
  ObserveControls(hwnd);
}

void CloseBoxes(long long afterMs) {
  for (auto& entry : g_seen) {
    Seen& seen = entry.second;
    if (!seen.isBox || !seen.alive || seen.closeSent) continue;
    if (NowMs() - seen.firstSeen < afterMs) continue;
    for (HWND child = GetWindow(entry.first, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
      if (ClassOf(child) != "Button") continue;
      int id = GetDlgCtrlID(child);
      PostMessageW(entry.first, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(child));
      LogLine(Format("close-box hwnd=0x%lX button=%d",
                     static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(entry.first)), id));
      break;
    }
    seen.closeSent = true;
  }
}

// One look at all windows of the program. Its lines are written together, with one time, the
// windows that went away first: so the log's state after the lines of one time is the state
// seen at that moment.
void Poll() {
  g_pollTime = NowMs();
  g_pollLines.clear();
  for (auto& entry : g_seen) entry.second.alive = false;
  g_topLevel.clear();
  EnumWindows(CollectTopLevel, 0);
  for (HWND hwnd : g_topLevel) ObserveTopLevel(hwnd);
  for (auto it = g_seen.begin(); it != g_seen.end();) {
    if (!it->second.alive) {
      LogLineAt(g_pollTime,
                Format("gone hwnd=0x%lX",
                       static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(it->first))));
      it = g_seen.erase(it);
    } else {
      ++it;
    }
  }
  for (const std::string& line : g_pollLines) LogLineAt(g_pollTime, line);
}

// --stats: what the system tells about the watched process's use of processor and memory.
struct Stats {
  SIZE_T peakWorkingSet = 0;
  SIZE_T peakPagefile = 0;
  int samples = 0;
};

void SampleMemory(HANDLE process, Stats& stats) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return;
  ++stats.samples;
  if (counters.PeakWorkingSetSize > stats.peakWorkingSet)
    stats.peakWorkingSet = counters.PeakWorkingSetSize;
  if (counters.WorkingSetSize > stats.peakWorkingSet) stats.peakWorkingSet = counters.WorkingSetSize;
  if (counters.PeakPagefileUsage > stats.peakPagefile) stats.peakPagefile = counters.PeakPagefileUsage;
  if (counters.PagefileUsage > stats.peakPagefile) stats.peakPagefile = counters.PagefileUsage;
}

unsigned long long Ticks100ns(const FILETIME& f) {
  return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
}

void WriteStats(const char* path, HANDLE process, const Stats& stats, long long exitMs) {
  FILE* out = std::fopen(path, "wb");
  if (!out) {
    std::fprintf(stderr, "observer: cannot open %s\n", path);
    return;
  }
  FILETIME created, exited, kernel, user;
  if (GetProcessTimes(process, &created, &exited, &kernel, &user)) {
    std::fprintf(out, "cpu_kernel_ms %.1f\n", Ticks100ns(kernel) / 10000.0);
    std::fprintf(out, "cpu_user_ms %.1f\n", Ticks100ns(user) / 10000.0);
    if (Ticks100ns(exited) >= Ticks100ns(created) && Ticks100ns(exited) != 0)
      std::fprintf(out, "lifetime_ms %.1f\n",
                   (Ticks100ns(exited) - Ticks100ns(created)) / 10000.0);
  }
  std::fprintf(out, "first_visible_ms %lld\n", g_firstVisible);
  std::fprintf(out, "exit_ms %lld\n", exitMs);
  std::fprintf(out, "peak_working_set_bytes %lu\n", static_cast<unsigned long>(stats.peakWorkingSet));
  std::fprintf(out, "peak_pagefile_bytes %lu\n", static_cast<unsigned long>(stats.peakPagefile));
  std::fprintf(out, "samples %d\n", stats.samples);
  std::fclose(out);
}

int Usage() {
  std::fprintf(stderr,
               "usage: observer.exe [--close-boxes-after MS] [--interval MS] [--timeout MS] "
               "[--stats FILE] LOG_FILE PROGRAM.exe [WORKDIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  long long closeBoxesAfter = -1;
  long long timeout = -1;
  DWORD interval = 5;
  const char* statsPath = nullptr;
  std::vector<const char*> positional;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--close-boxes-after") == 0 && i + 1 < argc)
      closeBoxesAfter = std::atoll(argv[++i]);
    else if (std::strcmp(argv[i], "--interval") == 0 && i + 1 < argc)
      interval = static_cast<DWORD>(std::atoll(argv[++i]));
    else if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc)
      timeout = std::atoll(argv[++i]);
    else if (std::strcmp(argv[i], "--stats") == 0 && i + 1 < argc)
      statsPath = argv[++i];
    else if (argv[i][0] == '-' && argv[i][1] == '-')
      return Usage();
    else
      positional.push_back(argv[i]);
  }
  if (positional.size() < 2 || positional.size() > 3) return Usage();

  g_log = std::fopen(positional[0], "wb");
  if (!g_log) {
    std::fprintf(stderr, "observer: cannot open %s\n", positional[0]);
    return 2;
  }
  std::string program = positional[1];
  std::string workdir;
  if (positional.size() == 3) {
    workdir = positional[2];
  } else {
    size_t slash = program.find_last_of("\\/");
    workdir = slash == std::string::npos ? std::string(".") : program.substr(0, slash);
    if (workdir.size() == 2 && workdir[1] == ':') workdir += '\\';
  }
  std::string commandLine = "\"" + program + "\"";

  QueryPerformanceFrequency(&g_freq);
  QueryPerformanceCounter(&g_start);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      workdir.c_str(), &startup, &info)) {
    LogLine(Format("error CreateProcessA failed: %lu", GetLastError()));
    std::fclose(g_log);
    return 2;
  }
  g_pid = info.dwProcessId;
  g_mainThread = info.dwThreadId;
  // The path texts are ANSI (code page of the observer); log them as UTF-8 too.
  auto ansiToUtf8 = [](const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(n + 1);
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    return Utf8(wide.data(), n > 0 ? n - 1 : 0);
  };
  LogLine(Format("start pid=%lu", info.dwProcessId) + " program=\"" + ansiToUtf8(program) +
          "\" workdir=\"" + ansiToUtf8(workdir) + "\"");

  int result = 0;
  Stats stats;
  for (;;) {
    Poll();
    if (statsPath) SampleMemory(info.hProcess, stats);
    if (closeBoxesAfter >= 0) CloseBoxes(closeBoxesAfter);
    if (WaitForSingleObject(info.hProcess, interval) == WAIT_OBJECT_0) break;
    if (timeout >= 0 && NowMs() > timeout) {
      LogLine("timeout");
      TerminateProcess(info.hProcess, 259);
      WaitForSingleObject(info.hProcess, 5000);
      result = 3;
      break;
    }
  }
  const long long exitMs = NowMs();
  Poll();
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  LogLine(Format("exit code=%lu", static_cast<unsigned long>(code)));
  if (statsPath) {
    SampleMemory(info.hProcess, stats);
    WriteStats(statsPath, info.hProcess, stats, exitMs);
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  std::fclose(g_log);
  return result;
}

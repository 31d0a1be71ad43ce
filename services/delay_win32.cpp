// Delay and ProcessEvents. Delay keeps the window alive by dispatching messages, and between
// its checks the thread sleeps until a message arrives, a timer's tick is due or the remaining
// time is up, so a long installation costs next to no processor time.
#include <windows.h>

#include "services/dispatch_win32.h"
#include "services/platform.h"
#include "services/system_functions_win32.h"
#include "window/engine_win32.h"

void DispatchOneMessage(MSG* msg) {
  if (EnginePreTranslate(msg)) return;
  TranslateMessage(msg);
  DispatchMessageA(msg);
}

// Takes one waiting message and handles it; answers true when it was a quit request, which
// is put back for the loop. Each message is taken with one look, not a look and then a take
// (each look is a call to Wine's server).
static bool DispatchOne(bool* quit) {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    PostQuitMessage(static_cast<int>(msg.wParam));
    *quit = true;
    return false;
  }
  DispatchOneMessage(&msg);
  return true;
}

// Dispatches what is waiting, then the timer ticks that are due, as the system reports due
// timers once the queue is empty; stops at a waiting quit request, which stays in the queue
// for the loop. The labels' new looks are drawn before each look.
void ProcessEvents() {
  bool quit = false;
  do {
    do {
      EngineDrawPending();
    } while (DispatchOne(&quit));
  } while (!quit && EngineRunDueTicks());
}

namespace {

// What a Delay needs beyond its imports, bound once, at the first Delay.
// - The finer timer comes from winmm.dll, which is not one of Windows' known libraries: as an
//   import of the program it would be looked up in the program's own folder (the host folder,
//   full of plugin DLLs) before the program's entry runs. So it is bound from the system folder
//   only. Without it a Delay still works, with the coarser tick.
// - A wait's timeout ends a whole number of milliseconds after the wait begins, and Wine's
//   server wakes the thread a few tenths of a millisecond after that; a Delay whose last wait
//   covered the whole remaining time would end, on average, most of a millisecond after its
//   time. So the last millisecond is slept to its edge by the performance counter (under Wine
//   the tick counter counts that clock's milliseconds), with ntdll's sleep, which takes 100 ns
//   units and under Wine sleeps without a call to the server. ntdll is loaded in every process.
typedef UINT(WINAPI* TimePeriodFn)(UINT);
typedef LONG(NTAPI* DelayExecutionFn)(BOOLEAN, PLARGE_INTEGER);

struct DelayTimers {
  TimePeriodFn begin = nullptr;
  TimePeriodFn end = nullptr;
  DelayExecutionFn delayExecution = nullptr;
  double countsPerMs = 0;  // of the performance counter
};

const DelayTimers& BindDelayTimers() {
  static bool bound = false;
  static DelayTimers timers;
  if (bound) return timers;
  bound = true;
  if (HMODULE winmm = LoadSystemLibrary("winmm.dll")) {
    timers.begin = reinterpret_cast<TimePeriodFn>(
        reinterpret_cast<void*>(GetProcAddress(winmm, "timeBeginPeriod")));
    timers.end = reinterpret_cast<TimePeriodFn>(
        reinterpret_cast<void*>(GetProcAddress(winmm, "timeEndPeriod")));
    if (!timers.begin || !timers.end) {
      timers.begin = timers.end = nullptr;
      FreeLibrary(winmm);
    }
  }
  LARGE_INTEGER frequency;
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (ntdll && QueryPerformanceFrequency(&frequency)) {
    timers.delayExecution = reinterpret_cast<DelayExecutionFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtDelayExecution")));
    timers.countsPerMs = static_cast<double>(frequency.QuadPart) / 1000.0;
  }
  return timers;
}

// Sleeps until the performance counter's clock reaches the start of millisecond `tick` of the
// tick counter, never past the next millisecond's edge, and on a first try not at all when
// that clock has passed it already. Where the tick counter does not follow that clock (Windows
// steps it every 15.6 ms), the caller's look finds the counter short and comes back for
// another try, which sleeps to the next edge: one millisecond at a time, never a spin.
void SleepToMillisecond(const DelayTimers& timers, DWORD tick, bool firstTry) {
  LARGE_INTEGER counter;
  if (!timers.delayExecution || !QueryPerformanceCounter(&counter)) return;
  // In floating point, exact at these magnitudes: a 64-bit integer division would bring in a
  // runtime helper on i386.
  const double nowMs = static_cast<double>(counter.QuadPart) / timers.countsPerMs;
  const LONGLONG wholeMs = static_cast<LONGLONG>(nowMs);
  if (firstTry && static_cast<LONG>(tick - static_cast<DWORD>(wholeMs)) <= 0) return;
  LARGE_INTEGER relative;
  relative.QuadPart = -static_cast<LONGLONG>((static_cast<double>(wholeMs + 1) - nowMs) * 10000.0);
  if (relative.QuadPart < 0) timers.delayExecution(FALSE, &relative);
}

}  // namespace

void Delay(int32_t ms) {
  if (ms <= 0) return;
  // Waits shorter than the system tick (~16 ms) would stretch without a finer timer.
  const DelayTimers& timers = BindDelayTimers();
  const bool fineTimer = timers.begin && timers.begin(1) == 0;   // TIMERR_NOERROR
  const DWORD start = GetTickCount();
  // What is already waiting is taken by the loop's first waits, which return at once for it;
  // a first look that finds the queue empty would cost a call to Wine's server (and, in
  // Wine's PeekMessage, a flush of the window's pixels to X and a yield of the processor) at
  // every step of the 1000-step count.
  bool quitWaiting = false;
  int edgeTries = 0;
  EngineDrawPending();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed > static_cast<DWORD>(ms)) break;
    const DWORD remaining = static_cast<DWORD>(ms) - elapsed + 1;
    if (quitWaiting) {
      // A waiting quit request counts as input: waiting for input would return at once.
      Sleep(remaining);
      continue;
    }
    // The wait ends early for a message or for the next timer tick.
    const DWORD tickIn = EngineNextTickIn();
    if (tickIn == 0) {
      EngineRunDueTicks();
      EngineDrawPending();
      continue;
    }
    // The wait covers all but the last millisecond; that one is slept to its edge, and the
    // look that follows (a wait of no time) finds what came meanwhile and has Wine's server
    // bring the tick counter up to date.
    const DWORD wait = remaining - 1;
    if (wait == 0)
      SleepToMillisecond(timers, start + static_cast<DWORD>(ms) + 1, edgeTries++ == 0);
    // The wait returns at once while anything is waiting, so each message is taken as it
    // comes and the time is checked between two messages; a look that finds the queue empty
    // is left out, it would cost one more call to Wine's server.
    if (MsgWaitForMultipleObjectsEx(0, nullptr, tickIn < wait ? tickIn : wait, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0) {
      DispatchOne(&quitWaiting);
      EngineDrawPending();
    }
  }
  if (fineTimer) timers.end(1);
}

// Figures for bench/run.sh, measured under Wine: the processor share of the installer's Delay
// beside a naive busy-polling pause, and the spread of Delay(10) and Delay(1000).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "services/platform.h"

static unsigned long long CpuTime100ns() {
  FILETIME c, e, k, u;
  GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u);
  auto v = [](FILETIME f) { return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  return v(k) + v(u);
}

// What a pause without waiting looks like: poll the queue and the clock until the time is up.
static void BusyPause(DWORD ms) {
  const DWORD start = GetTickCount();
  MSG msg;
  while (GetTickCount() - start <= ms) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
}

static double Share(void (*pause)(DWORD), DWORD ms) {
  const unsigned long long cpu0 = CpuTime100ns();
  const DWORD t0 = GetTickCount();
  pause(ms);
  const double wall = GetTickCount() - t0;
  const double cpu = (CpuTime100ns() - cpu0) / 10000.0;
  return 100.0 * cpu / wall;
}

static void InstallerPause(DWORD ms) { Delay(static_cast<int32_t>(ms)); }

// Each Delay timed by the performance counter, one after the other as in the installation's
// count.
static void Spread(int ms, int runs) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> d;
  for (int i = 0; i < runs; ++i) {
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    Delay(ms);
    QueryPerformanceCounter(&t1);
    d.push_back(1000.0 * (t1.QuadPart - t0.QuadPart) / frequency.QuadPart);
  }
  std::sort(d.begin(), d.end());
  double sum = 0;
  for (double x : d) sum += x;
  std::printf("delay_%d_ms min=%.2f median=%.2f max=%.2f mean=%.2f runs=%d\n", ms, d.front(),
              d[d.size() / 2], d.back(), sum / runs, runs);
}

int main(int argc, char** argv) {
  const DWORD ms = argc > 1 ? std::atoi(argv[1]) : 10000;
  // A 30 ms timer stands for the spinner: the pause has messages to dispatch throughout.
  HWND w = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  SetTimer(w, 1, 30, nullptr);
  std::printf("cpu_share_delay %.2f %%\n", Share(InstallerPause, ms));
  std::printf("cpu_share_busy_poll %.2f %%\n", Share(BusyPause, ms / 5));
  KillTimer(w, 1);
  Spread(10, 100);
  Spread(1000, 5);
  return 0;
}

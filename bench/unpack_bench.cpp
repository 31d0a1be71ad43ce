// Figures for bench/run.sh size: how long the program's own unpack step takes for each
// carried block, and the process's peak memory before and after unpacking every block once,
// one after the other, as an installation does. Built for Windows (run under Wine, linked
// with the Win32 backend) and natively (linked with the simulated platform).
//   unpack_bench [ROUNDS]
// prints "unpack NAME PACKED_BYTES FILE_BYTES MIN_MS MEDIAN_MS" lines, then
// "peak_memory_before_bytes N" and "peak_memory_bytes N" (Windows: peak working set;
// Linux: peak resident size).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "payload/carried.h"

#if defined(_WIN32)
#include <windows.h>
#include <psapi.h>
static unsigned long long PeakMemory() {
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  return memory.PeakWorkingSetSize;
}
#else
#include <sys/resource.h>
static unsigned long long PeakMemory() {
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<unsigned long long>(usage.ru_maxrss) * 1024;
}
#endif

#define CARRIED(name) {#name, Unpack##name, name##_size}

struct Carried {
  const char* name;
  bool (*unpack)(ByteBlock*);
  const uint32_t& packedSize;
};

const Carried kCarried[] = {CARRIED(DefaultConfigText), CARRIED(FortuneText),   CARRIED(TeaserData),
                            CARRIED(SpinnerFont),       CARRIED(PluginPayload), CARRIED(ConsolePayload),
                            CARRIED(CardPayload),       CARRIED(CorePayload)};

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const unsigned long long before = PeakMemory();
  int sizes[8] = {};
  for (int i = 0; i < 8; ++i) {
    ByteBlock file;
    if (!kCarried[i].unpack(&file)) {
      std::printf("unpack %s FAILED\n", kCarried[i].name);
      return 1;
    }
    sizes[i] = file.Size();
  }
  const unsigned long long after = PeakMemory();
  for (int i = 0; i < 8; ++i) {
    std::vector<double> ms;
    for (int r = 0; r < rounds; ++r) {
      ByteBlock file;
      const auto t0 = std::chrono::steady_clock::now();
      kCarried[i].unpack(&file);
      ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("unpack %s %u %d %.2f %.2f\n", kCarried[i].name, static_cast<unsigned>(kCarried[i].packedSize),
                sizes[i], ms.front(), ms[ms.size() / 2]);
  }
  std::printf("peak_memory_before_bytes %llu\npeak_memory_bytes %llu\n", before, after);
  return 0;
}

// A process that does nothing but wait, for the process-search tests: started under a host
// program's name, it stands for a running host. Ends by itself after the given seconds
// (default 120) so a failed test never leaves it behind for long.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 120;
  Sleep(static_cast<DWORD>(seconds) * 1000);
  return 0;
}

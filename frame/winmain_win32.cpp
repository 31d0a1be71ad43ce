// Process entry. The program looks at neither its command line nor its start-up show state,
// and uses nothing the C runtime's start-up code prepares (arguments, environment, standard
// streams, thread-local callbacks): it is linked without that code (about 10 KB of the
// program) and enters here. Only the static constructors are run, by the compiler support
// library's __main, before anything else. The x87 unit keeps the system's precision instead
// of the start-up code's extended one: the only arithmetic on doubles is the counter's whole
// seconds, exact in either (numbers are formatted and read with integer arithmetic).
#include <windows.h>

#include "frame/frame_win32.h"
#include "services/frame_state.h"

extern "C" void __main();

// The program ends by ExitProcess, never by exit(), from which the start-up code ran its exit
// handlers: none runs. What registers here, the destructors of static objects, would only
// free memory the system takes back with the process.
extern "C" int __cdecl atexit(void (__cdecl*)()) { return 0; }

// The stack is aligned here: the system enters with the alignment of a call, not more.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void WINAPI TovaraStart() {
  __main();
  HardenLibrarySearch();
  const int result = StartRoutine();
  RunEndCleanup();
  ExitProcess(static_cast<UINT>(result));
}

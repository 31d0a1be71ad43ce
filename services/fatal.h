#pragma once
// The two ways the program ends itself. Neither returns.
#include <cstdint>

// Reports "运行时出错!" with the code (when not 0) and the message (when not empty) in a
// task-modal box titled "错误", then ends the program with exit code -1.
[[noreturn]] void FatalError(const char* message, int code);

// Runs the end clean-up and ends the process with exitCode. No window is destroyed and no
// window event runs.
[[noreturn]] void EndProgram(int exitCode);

// The style of the fatal error box: the error icon, an OK button, task-modal.
constexpr uint32_t kFatalErrorBoxStyle = 0x10 | 0x2000;   // MB_ICONERROR | MB_OK | MB_TASKMODAL

// The report text FatalError shows, built in place: making it takes no memory from the heap,
// so it can still be made when every allocation fails (a failed allocation ends in
// FatalError). A report longer than the buffer is cut at a character boundary.
struct FatalReport {
  char text[1024];
  const char* c_str() const { return text; }
};
FatalReport FatalErrorReport(const char* message, int code);

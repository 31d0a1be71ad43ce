#pragma once
// The two ways the program ends itself. Neither returns.

// Reports "运行时出错!" with the code (when not 0) and the message (when not empty) in a
// task-free box titled "错误", then ends the program with exit code -1.
[[noreturn]] void FatalError(const char* message, int code);

// Runs the end clean-up and ends the process with exitCode. No window is destroyed and no
// window event runs.
[[noreturn]] void EndProgram(int exitCode);

// The report text FatalError shows, as a new text the caller owns (see services/text.h).
struct Text;
Text FatalErrorReport(const char* message, int code);

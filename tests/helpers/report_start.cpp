// A program started by the process tests; it reports how it was started.
//   report_start <report-file> <milliseconds> [anything...]
// Writes to <report-file> (complete, by rename) the lines
//   flags=<STARTUPINFO dwFlags> show=<wShowWindow> pid=<its process id>
//   dir=<current directory>
//   cmd=<its command line, as received>
// then sleeps <milliseconds> and appends "end".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool WriteAll(const std::string& path, const std::string& text, DWORD disposition) {
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
            written == text.size();
  CloseHandle(file);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 1;
  STARTUPINFOA startup;
  GetStartupInfoA(&startup);
  char dir[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, dir);
  char line[96];
  std::snprintf(line, sizeof line, "flags=%lu show=%u pid=%lu\n",
                static_cast<unsigned long>(startup.dwFlags),
                static_cast<unsigned>(startup.wShowWindow),
                static_cast<unsigned long>(GetCurrentProcessId()));
  std::string report = std::string(line) + "dir=" + dir + "\ncmd=" + GetCommandLineA() + "\n";
  std::string part = std::string(argv[1]) + ".part";
  if (!WriteAll(part, report, CREATE_ALWAYS)) return 2;
  if (!MoveFileExA(part.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING)) return 3;
  Sleep(static_cast<DWORD>(std::atol(argv[2])));
  return WriteAll(argv[1], "end\n", OPEN_EXISTING) ? 0 : 4;
}

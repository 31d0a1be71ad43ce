// A stand-in web browser, registered by a scenario as the program that opens http and https
// addresses. It records how the shell started it and ends at once:
//   record_browser_gui <record-file> <address>
// writes to <record-file> (complete, by rename) the lines
//   cmd=<its whole command line, as received>
//   url=<the address argument>
#include <windows.h>

#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 3) return 1;
  const std::string record = __argv[1];
  const std::string text =
      std::string("cmd=") + GetCommandLineA() + "\r\nurl=" + __argv[2] + "\r\n";
  const std::string temp = record + ".part";
  HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != text.size()) return 3;
  return MoveFileExA(temp.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}

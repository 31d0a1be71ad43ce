// Holds a file open the way another program would, for the file tests.
//   hold_file_open <path> <mode> <ready-file> <milliseconds>
// mode "lock": read and write access, no sharing (an editor, a loaded plugin);
// mode "attributes": attribute access only, everything shared (an explorer window).
// Once the file is open the ready file is created; the program ends after <milliseconds>
// or when it is terminated. Exit code 2 when the file cannot be opened.
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 5) return 1;
  bool lock = std::strcmp(argv[2], "lock") == 0;
  DWORD access = lock ? GENERIC_READ | GENERIC_WRITE : FILE_READ_ATTRIBUTES;
  DWORD share = lock ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE file = CreateFileA(argv[1], access, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  HANDLE ready = CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready == INVALID_HANDLE_VALUE) return 3;
  CloseHandle(ready);
  Sleep(static_cast<DWORD>(std::atol(argv[4])));
  CloseHandle(file);
  return 0;
}

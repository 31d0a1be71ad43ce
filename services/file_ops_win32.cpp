// The file-system and process services over the Win32 ANSI functions. Paths are GBK byte
// strings handed to the "A" functions unchanged.
#include <windows.h>

#include <cstring>

#include "services/file_ops.h"
#include "services/memory.h"

bool FileExists(const char* path) {
  if (TextLength(path) == 0) return false;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

bool CreateFolder(const char* path) {
  if (TextLength(path) == 0) return false;
  return CreateDirectoryA(path, nullptr) != FALSE;
}

bool DeleteOneFile(const char* path) {
  if (TextLength(path) == 0) return false;
  return DeleteFileA(path) != FALSE;
}

namespace {

// The new content goes to a short-named file in the target's folder, named after the target
// with a slot n (file_ops.h). n counts up past names that are taken (a file another writer
// holds open, or a read-only one that could not be cleared).
HANDLE CreateTempBeside(const char* path, Text* tempName) {
  for (int n = 1; n <= kWriteTempLast; ++n) {
    *tempName = WriteTempPath(path, n);
    HANDLE file = CreateFileA(tempName->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
        error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED)
      break;
  }
  return INVALID_HANDLE_VALUE;
}

// Temporary files of this target left in its folder by a run that was ended half way are
// removed. The search also matches other names through their short forms, so each name found
// is checked exactly; any other file is left alone (another target's temporary file, a user's
// file), and so is one that cannot be deleted (a writer that still holds it).
void RemoveStaleTemps(const char* path) {
  Text pattern = WriteTempPattern(path);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !IsWriteTempOf(path, found.cFileName))
      continue;
    Text stale = BesideTarget(path, found.cFileName);
    DeleteFileA(stale.c_str());
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

bool WriteBlocks(HANDLE file, const ByteBlock* blocks, int count) {
  for (int i = 0; i < count; ++i) {
    DWORD size = static_cast<DWORD>(blocks[i].Size());
    if (size == 0) continue;
    DWORD written = 0;
    if (!WriteFile(file, blocks[i].Data(), size, &written, nullptr) || written != size)
      return false;
  }
  return true;
}

// An existing target is replaced only where a plain open-for-writing would be allowed:
// Windows refuses to recreate a read-only, hidden or system file with normal attributes, and
// refuses to open a file that another process holds without sharing. The rename used below
// would pass over some of these under Wine, so the checks are made here, before anything is
// written.
bool TargetMayBeReplaced(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;   // absent (or unreachable: the
                                                              // temporary file fails then)
  const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY |
                        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if (attributes & refused) return false;
  HANDLE probe = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return false;
  CloseHandle(probe);
  return true;
}

}  // namespace

// The target is never opened for writing: the blocks go to a temporary file in the same
// folder, which replaces the target only once all of them are on disk. A failure at any
// step removes the temporary file, so the target keeps its old content or stays absent.
bool WriteWholeFile(const char* path, const ByteBlock* blocks, int count) {
  if (TextLength(path) == 0) return false;
  if (!TargetMayBeReplaced(path)) return false;

  RemoveStaleTemps(path);
  Text tempName;
  HANDLE temp = CreateTempBeside(path, &tempName);
  if (temp == INVALID_HANDLE_VALUE) return false;

  bool ok = WriteBlocks(temp, blocks, count);
  if (ok) ok = FlushFileBuffers(temp) != FALSE;
  if (!CloseHandle(temp)) ok = false;
  if (ok)
    ok = MoveFileExA(tempName.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
         FALSE;
  if (!ok) DeleteFileA(tempName.c_str());
  return ok;
}

namespace {

// Show mode 1..6 (clamped; absent: 2) to the new program's window show state.
WORD ShowStateOf(std::optional<int> showMode) {
  static const WORD kStates[6] = {SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED,
                                  SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE, SW_MINIMIZE};
  int mode = showMode ? *showMode : 2;
  if (mode < 1) mode = 1;
  if (mode > 6) mode = 6;
  return kStates[mode - 1];
}

}  // namespace

bool RunProgram(const char* commandLine, bool wait, std::optional<int> showMode) {
#if defined(_WIN64)
  static_assert(sizeof(STARTUPINFOA) == 104, "the 64-bit start-up record");
#else
  static_assert(sizeof(STARTUPINFOA) == 68, "the 32-bit start-up record");
#endif
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = ShowStateOf(showMode);

  // CreateProcessA may write into the command line, so it gets a copy.
  int length = TextLength(commandLine);
  char* line = static_cast<char*>(AllocateBytes(length + 1));
  if (length > 0) std::memcpy(line, commandLine, length);
  line[length] = 0;

  PROCESS_INFORMATION process;
  std::memset(&process, 0, sizeof process);
  BOOL started = CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &startup, &process);
  ReleaseBytes(line);
  if (!started) return false;

  if (wait)
    WaitForSingleObject(process.hProcess, INFINITE);
  else
    WaitForInputIdle(process.hProcess, 1000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

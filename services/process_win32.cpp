// Stopping another program by the file name of its executable: a process snapshot walked in
// the system's order, the first match terminated. The snapshot and process calls go through
// SystemFunctionTable.
#include <windows.h>
#include <tlhelp32.h>

#include "services/frame_state.h"
#include "services/platform.h"
#include "services/system_functions_win32.h"
#include "services/text_ops.h"

static SystemWord U(const void* p) { return reinterpret_cast<SystemWord>(p); }

static SystemWord Call(int entry, std::initializer_list<SystemWord> args) {
  return CallSystemFunction(SystemFunctionTable(entry), args.begin(), static_cast<int>(args.size()));
}

uint32_t FindProcessId(const char* name, bool caseSensitive) {
  HANDLE snapshot =
      reinterpret_cast<HANDLE>(Call(kCreateToolhelp32SnapshotEntry, {TH32CS_SNAPPROCESS, 0}));
  if (snapshot == INVALID_HANDLE_VALUE || snapshot == nullptr) return 0;
  PROCESSENTRY32 entry;
  ZeroMemory(&entry, sizeof entry);
  entry.dwSize = sizeof entry;
  // BOOL results are 32-bit: only the low half of the word is theirs.
  bool read = static_cast<int>(Call(kProcess32FirstEntry, {U(snapshot), U(&entry)})) != 0;
  while (read) {
    Text exe = ToText(reinterpret_cast<const unsigned char*>(entry.szExeFile),
                      static_cast<int>(sizeof entry.szExeFile));
    if (ProcessNameMatches(exe.c_str(), name, caseSensitive)) {
      Call(kCloseHandleEntry, {U(snapshot)});
      return entry.th32ProcessID;
    }
    read = static_cast<int>(Call(kProcess32NextEntry, {U(snapshot), U(&entry)})) != 0;
  }
  Call(kCloseHandleEntry, {U(snapshot)});
  return 0;
}

static Text OwnFileName() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  Text full(path, static_cast<int>(n < sizeof path ? n : 0));
  Text folder = FolderOfPath(full.c_str());
  const int skip = folder.Length() + (full.Length() > folder.Length() ? 1 : 0);
  return Text(full.c_str() + skip, full.Length() - skip);
}

bool TerminateProcessByName(const char* name, bool caseSensitive) {
  Text own;
  if (!name) {
    own = OwnFileName();
    name = own.c_str();
  }
  const uint32_t pid = FindProcessId(name, caseSensitive);
  HANDLE process =
      reinterpret_cast<HANDLE>(Call(kOpenProcessEntry, {PROCESS_TERMINATE, FALSE, pid}));
  const bool terminated = static_cast<int>(Call(kTerminateProcessEntry, {U(process), 0})) != 0;
  // The handle is ours to close; the table's CloseHandle entry serves.
  if (process) Call(kCloseHandleEntry, {U(process)});
  return terminated;
}

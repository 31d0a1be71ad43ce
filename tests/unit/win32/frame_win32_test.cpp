// The run directory the frame reads from the program's own path, under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "frame/frame_win32.h"
#include "services/frame_state.h"

namespace {

// A program path longer than the buffer comes back cut short; the folder is read from what
// came back. Here the buffer ends inside the file name, so it is the program's own folder.
TEST(RunDirectoryWin32, AProgramPathCutShortIsScannedAsReturned) {
  char full[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, full, MAX_PATH);
  ASSERT_TRUE(n > 0 && n < MAX_PATH);
  const Text folder = FolderOfPath(full);
  const int size = static_cast<int>(n) - 3;
  ASSERT_GT(size, folder.Length() + 2);
  char cut[MAX_PATH];
  std::memset(cut, 'x', sizeof cut);
  EXPECT_STREQ(ReadRunDirectory(cut, size).c_str(), folder.c_str());
}

// The scan for the last backslash reads double-byte characters by the system's ANSI code page.
// Under 936, 0xB5 0x5C is one character whose second byte separates nothing; under a
// single-byte code page 0xB5 is a letter and the backslash after it separates folders. This
// case runs once more under the C locale, code page 1252 (tests/CMakeLists.txt).
TEST(RunDirectoryWin32, FollowsTheSystemCodePage) {
  const char* acp = std::getenv("TOVARA_TEST_ACP");
  ASSERT_EQ(GetACP(), acp ? static_cast<UINT>(std::atoi(acp)) : 936u);
  EXPECT_STREQ(FolderOfPath("C:\\\xB5\\Setup.exe").c_str(), GetACP() == 936 ? "C:" : "C:\\\xB5");
}

}  // namespace

// Loads a library the way a program that trusts its own folder would: by the full path of a
// file in its folder. Used to show that a planted library really runs when it is loaded.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  HMODULE m = LoadLibraryA(argv[1]);
  std::printf("%s\n", m ? "loaded" : "not loaded");
  return m ? 0 : 1;
}

// The names of the temporary files that whole-file writes go through, shared by both
// platforms' WriteWholeFile.
#include <cstdint>
#include <cstring>

#include "services/file_ops.h"
#include "services/frame_state.h"
#include "services/text_ops.h"

namespace {

// Where the file name of target begins: after its last backslash that is a character of its
// own (never the second byte of a double-byte character).
int NameStart(const char* target) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(target ? target : "");
  int nameStart = 0;
  for (int i = 0; p[i] != 0; ++i) {
    if (IsLeadByte(p[i])) {
      if (p[i + 1] == 0) break;
      ++i;
    } else if (p[i] == '\\') {
      nameStart = i + 1;
    }
  }
  return nameStart;
}

// The temporary name of slot (a digit, or '?' for the search pattern) for target:
// "~" + k hex digits of a hash of the target's file name + slot + ".tmp". The hash folds ASCII
// letters (Windows names ignore their case; the second byte of a double-byte character is
// kept as it is). k is the target name's length less 6, from 2 to 6: the temporary name is as
// long as the target's (8 to 12 bytes), never longer for any name of 8 bytes or more.
// Hexadecimal digits never spell "tv", so no name of another scheme is taken for ours.
void WriteTempName(const char* target, char slot, char out[16]) {
  const unsigned char* name =
      reinterpret_cast<const unsigned char*>(target ? target : "") + NameStart(target);
  const int length = static_cast<int>(std::strlen(reinterpret_cast<const char*>(name)));
  uint32_t hash = 2166136261u;   // FNV-1a
  for (int i = 0; i < length; ++i) {
    unsigned char b = name[i];
    if (IsLeadByte(b) && i + 1 < length) {
      hash = (hash ^ b) * 16777619u;
      b = name[++i];
    } else if (b >= 'A' && b <= 'Z') {
      b = static_cast<unsigned char>(b + 0x20);
    }
    hash = (hash ^ b) * 16777619u;
  }
  int digits = length - 6;
  if (digits < 2) digits = 2;
  if (digits > 6) digits = 6;
  static const char kHex[] = "0123456789abcdef";
  int o = 0;
  out[o++] = '~';
  for (int d = 0; d < digits; ++d) out[o++] = kHex[(hash >> (28 - 4 * d)) & 0xF];
  out[o++] = slot;
  std::memcpy(out + o, ".tmp", 5);
}

}  // namespace

Text BesideTarget(const char* target, const char* name) {
  Text folder(target, NameStart(target));
  return Concat({folder.c_str(), name});
}

Text WriteTempPath(const char* target, int n) {
  char name[16];
  WriteTempName(target, static_cast<char>('0' + n), name);
  return BesideTarget(target, name);
}

Text WriteTempPattern(const char* target) {
  char name[16];
  WriteTempName(target, '?', name);
  return BesideTarget(target, name);
}

bool IsWriteTempOf(const char* target, const char* name) {
  char ours[16];
  for (int n = 1; n <= kWriteTempLast; ++n) {
    WriteTempName(target, static_cast<char>('0' + n), ours);
    if (std::strcmp(ours, name ? name : "") == 0) return true;
  }
  return false;
}

#pragma once
// The build inputs carried in the program image, each packed by payload/pack.py: a small
// header, then the file itself or its compressed stream. A write unpacks its file anew at
// every attempt; the image itself is never changed.
#include <cstdint>

#include "services/text.h"

const uint32_t kCarriedHeaderSize = 56;   // the stream (or the stored file) follows it

// Unpacks a carried block into `file`: a new heap block holding the file as it was at build
// time (a view of the image for a stored file). False, with `file` empty, when the block is
// damaged: a header that fails its own check, a `blockSize` other than the length the header
// records, a decoder error, or a size or SHA-256 that differs from the file's. Never reads or
// writes outside the block or the new file, whatever `blockSize` says: past the header, which
// every block holds, nothing is read before `blockSize` is found to be the recorded length.
bool UnpackCarried(const unsigned char* block, uint32_t blockSize, ByteBlock* file);

#define TOVARA_CARRIED(name)                    \
  extern "C" const unsigned char name##_data[]; \
  extern "C" const uint32_t name##_size;        \
  inline bool Unpack##name(ByteBlock* file) { return UnpackCarried(name##_data, name##_size, file); }

TOVARA_CARRIED(DefaultConfigText)   // 插件配置.ini as written
TOVARA_CARRIED(FortuneText)         // fortune records, line breaks marked "[enter]"
TOVARA_CARRIED(TeaserData)          // 急转弯.ini as written
TOVARA_CARRIED(SpinnerFont)         // the spinner's icon font
TOVARA_CARRIED(PluginPayload)       // the plugin DLL
TOVARA_CARRIED(ConsolePayload)      // the console program
TOVARA_CARRIED(CardPayload)         // 名片.exe
TOVARA_CARRIED(CorePayload)         // the core DLL

#undef TOVARA_CARRIED

// A carried text as a Text (the texts carry no zero byte of their own).
inline Text CarriedText(const ByteBlock& block) {
  return Text(reinterpret_cast<const char*>(block.Data()), block.Size());
}

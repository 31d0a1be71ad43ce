#pragma once
// The build inputs carried in the program image, read-only. Each is handed out as a view:
// written byte for byte straight from the image and never released.
#include <cstdint>

#include "services/text.h"

#define TOVARA_CARRIED(name)                    \
  extern "C" const unsigned char name##_data[]; \
  extern "C" const uint32_t name##_size;        \
  inline ByteBlock name() { return ByteBlock::View(name##_data, static_cast<int>(name##_size)); }

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

// The carried blocks of the Windows image, unpacked by the program's own decoder: each is the
// file the build packed, byte for byte (the programs are real compiled code, through the x86
// filter and LZMA).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "payload/carried.h"

namespace {

// A file of the build folder, read through Wine's Z: drive.
std::string BuildFile(const char* unixPath) {
  std::ifstream in(std::string("Z:") + unixPath, std::ios::binary);
  EXPECT_TRUE(in.good()) << unixPath;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#define CARRIED(name) {#name, Unpack##name, TOVARA_ORIGINAL_##name}

TEST(CarriedBlocks, EachUnpacksToTheFileItWasPackedFrom) {
  const struct {
    const char* name;
    bool (*unpack)(ByteBlock*);
    const char* original;
  } carried[] = {CARRIED(DefaultConfigText), CARRIED(FortuneText),   CARRIED(TeaserData),
                 CARRIED(SpinnerFont),       CARRIED(PluginPayload), CARRIED(ConsolePayload),
                 CARRIED(CardPayload),       CARRIED(CorePayload)};
  for (const auto& c : carried) {
    SCOPED_TRACE(c.name);
    ByteBlock file;
    ASSERT_TRUE(c.unpack(&file));
    const std::string expected = BuildFile(c.original);
    ASSERT_EQ(static_cast<size_t>(file.Size()), expected.size());
    EXPECT_TRUE(expected.compare(0, expected.size(), reinterpret_cast<const char*>(file.Data()), file.Size()) == 0);
  }
}

}  // namespace

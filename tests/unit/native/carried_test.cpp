// Carried blocks that are damaged in the image: a byte flipped or the stream cut short makes
// each write from that block a failed attempt (nothing written, the failure texts follow) and
// never a damaged file. And the hash the check relies on.
#include <cstring>
#include <functional>

#include "services/sha256.h"
#include "tests/unit/native/installation_test_support.h"
#include "window/spinner.h"

namespace installation_test {
namespace {

std::string Hex(const Sha256Digest& d) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (uint8_t b : d.bytes) s += {digits[b >> 4], digits[b & 15]};
  return s;
}

// The standard's test vectors: one block, a tail that needs a second block, and the empty text.
TEST(Sha256, StandardVectors) {
  EXPECT_EQ(Hex(Sha256("abc", 3)), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  const char two[] = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  EXPECT_EQ(Hex(Sha256(two, sizeof two - 1)), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Hex(Sha256("", 0)), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

#define BLOCK(name) #name, name##_data, name##_size

// A file that packing would make bigger (the random-filled stand-ins) is carried as it is.
TEST(CarriedBlocks, NoneIsBiggerThanItsFileStored) {
  const struct {
    const char* name;
    const unsigned char* data;
    const uint32_t& size;
  } blocks[] = {{BLOCK(DefaultConfigText)}, {BLOCK(FortuneText)},   {BLOCK(TeaserData)},
                {BLOCK(SpinnerFont)},       {BLOCK(PluginPayload)}, {BLOCK(ConsolePayload)},
                {BLOCK(CardPayload)},       {BLOCK(CorePayload)}};
  for (const auto& b : blocks) {
    SCOPED_TRACE(b.name);
    ByteBlock file;
    ASSERT_TRUE(UnpackCarried(b.data, b.size, &file));
    EXPECT_LE(b.size, kCarriedHeaderSize + static_cast<uint32_t>(file.Size()));
  }
}

// A program of our own compiled for the shipped target (tests/unit/carried/word_count.cpp),
// packed as a release input is: carried through the x86 filter and LZMA, and unpacked byte for
// byte. The stand-ins the other blocks carry are random-filled, so stored.
TEST(CarriedBlocks, CompiledProgramRoundTripsThroughTheX86FilterAndLzma) {
  const std::string packed = Original(TOVARA_TEST_PROGRAM_PACKED);
  const std::string program = Original(TOVARA_TEST_PROGRAM);
  ASSERT_GT(packed.size(), kCarriedHeaderSize);
  EXPECT_EQ(packed[8], 1) << "LZMA";
  EXPECT_EQ(packed[9], 1) << "through the x86 filter";
  ByteBlock file;
  ASSERT_TRUE(UnpackCarried(reinterpret_cast<const unsigned char*>(packed.data()),
                            static_cast<uint32_t>(packed.size()), &file));
  ASSERT_EQ(static_cast<size_t>(file.Size()), program.size());
  EXPECT_TRUE(Bytes(file) == program) << "the unpacked program differs from the compiled one";
}

// The simulated platform's image is writable: a block is damaged in place while `run` runs.
enum class Damage { FlippedByte, CutShort };

void WithDamagedBlock(const unsigned char* data, const uint32_t& size, Damage damage,
                      const std::function<void()>& run) {
  volatile unsigned char* bytes = const_cast<unsigned char*>(data);
  volatile uint32_t* count = const_cast<uint32_t*>(&size);
  const uint32_t whole = *count;
  const uint32_t middle = kCarriedHeaderSize + (whole - kCarriedHeaderSize) / 2;   // inside the stream
  if (damage == Damage::FlippedByte)
    bytes[middle] ^= 0xFF;
  else
    *count = middle;
  run();
  if (damage == Damage::FlippedByte)
    bytes[middle] ^= 0xFF;
  else
    *count = whole;
}

struct DamageCase {
  const char* name;
  const unsigned char* data;
  const uint32_t& size;
  const char* file;    // written from the block
  Steps timeline;      // the installation with the block damaged
};

TEST(DamagedCarriedBlock, IsAFailedWriteNeverADamagedFile) {
  const Steps upToPayloads = NoOldFiles() + AllDataWritten() + kPayloadPreamble;
  const DamageCase cases[] = {
      {BLOCK(DefaultConfigText), kConfigFile,
       NoOldFiles() + ConfigWritten(true, 4) + FortuneWritten(false) + TeaserWritten() + kDataClosing +
           AllPayloadsWritten()},
      {BLOCK(FortuneText), kFortuneFile,
       NoOldFiles() + ConfigWritten(true) + FortuneWritten(false, 4) + TeaserWritten() + kDataClosing +
           AllPayloadsWritten()},
      {BLOCK(TeaserData), kTeaserFile,
       NoOldFiles() + ConfigWritten(true) + FortuneWritten(false) + TeaserWritten(false) + kDataClosing +
           AllPayloadsWritten()},
      {BLOCK(PluginPayload), kPluginFile, upToPayloads + kPluginFailedThrice},
      {BLOCK(ConsolePayload), kConsoleFile,
       upToPayloads + kPluginWritten + ConsoleWrite(3) + kCardWrite + CoreWrite() + Closing(false)},
      {BLOCK(CardPayload), kCardFile,
       upToPayloads + kPluginWritten + ConsoleWrite() + kCardWrite + CoreWrite() + Closing(false)},
      {BLOCK(CorePayload), kCoreFile,
       upToPayloads + kPluginWritten + ConsoleWrite() + kCardWrite + CoreWrite(3) + Closing(false)},
  };
  for (const DamageCase& c : cases) {
    for (Damage damage : {Damage::FlippedByte, Damage::CutShort}) {
      SCOPED_TRACE(std::string(c.name) + (damage == Damage::FlippedByte ? ", a byte flipped" : ", cut short"));
      WithDamagedBlock(c.data, c.size, damage, [&] {
        MakeHost();
        EXPECT_EQ(sim::ClickInstallButton(), 0);
        ExpectStatusTimeline(c.timeline);
      });
      EXPECT_EQ(Writes(c.file), 0) << "nothing is written from a damaged block";
      ExpectNoFile(c.file);
    }
  }
}

// A damaged font is not added; the window comes up and the installation runs as ever.
TEST(DamagedCarriedBlock, FontIsNotAdded) {
  for (Damage damage : {Damage::FlippedByte, Damage::CutShort}) {
    WithDamagedBlock(SpinnerFont_data, SpinnerFont_size, damage, [&] {
      MakeHost();
      EXPECT_EQ(sim::AddedFontBytes(), 0);
      EXPECT_EQ(SpinnerFontHandle, nullptr);
      EXPECT_EQ(sim::ClickInstallButton(), 0);
      ExpectStatusTimeline(NoOldFiles() + AllDataWritten() + AllPayloadsWritten());
    });
  }
}

}  // namespace
}  // namespace installation_test

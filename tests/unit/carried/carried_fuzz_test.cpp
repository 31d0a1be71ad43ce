// Damaged carried blocks under AddressSanitizer and UndefinedBehaviorSanitizer (this program
// builds its own instrumented copy of the unpacker and the decoder). The block is the compiled
// test program packed as a release input is (tests/unit/carried/word_count.cpp, pack.py --x86):
// every header byte damaged, and a seeded set of stream bytes flipped together with size words
// raised or lowered. Each damaged copy sits in a heap allocation of exactly its own size, so
// that a read past the block stops the program. Every trial unpacks to the program exactly or
// fails; none reads or writes outside the block or the new file.
#include <gtest/gtest.h>
#include <sanitizer/common_interface_defs.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>

#include "payload/carried.h"

// The heap the unpacker allocates from: the C heap, as in the simulated platform.
void* AllocateBytes(int count) {
  void* block = std::malloc(static_cast<size_t>(count));
  if (!block) std::abort();
  return block;
}
void ReleaseBytes(void* block) { std::free(block); }

namespace {

std::string ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::string& Packed() {
  static const std::string packed = ReadAll(TOVARA_TEST_PROGRAM_PACKED);
  return packed;
}
const std::string& Program() {
  static const std::string program = ReadAll(TOVARA_TEST_PROGRAM);
  return program;
}

// The trial under way, named when a sanitizer stops the program.
char trial[128] = "no trial";
void NameTrialOnDeath() { std::fprintf(stderr, "carried_fuzz_test: stopped during %s\n", trial); }

const uint32_t kNoFlip = UINT32_MAX;

// Unpacks a copy of the packed program with the byte at `at` xor `mask` (none for kNoFlip),
// given to the unpacker as a block of `sizeWord` bytes. It must fail or give the program.
void Trial(uint32_t at, uint8_t mask, uint32_t sizeWord) {
  const std::string& packed = Packed();
  std::snprintf(trial, sizeof trial, "byte %u ^ 0x%02X, size word %u (block %zu)", at, mask, sizeWord,
                packed.size());
  std::unique_ptr<unsigned char[]> block(new unsigned char[packed.size()]);
  std::memcpy(block.get(), packed.data(), packed.size());
  if (at != kNoFlip) block[at] ^= mask;
  ByteBlock file;
  if (UnpackCarried(block.get(), sizeWord, &file)) {
    const bool same = static_cast<size_t>(file.Size()) == Program().size() &&
                      std::memcmp(file.Data(), Program().data(), Program().size()) == 0;
    EXPECT_TRUE(same) << trial << ": unpacked to something else";
  } else {
    EXPECT_EQ(file.Size(), 0) << trial << ": failed with a file";
  }
}

class DamagedCarriedBlock : public testing::Test {
 protected:
  void SetUp() override {
    __sanitizer_set_death_callback(NameTrialOnDeath);
    ASSERT_GT(Packed().size(), kCarriedHeaderSize + 16);
    ASSERT_LT(Packed().size(), Program().size()) << "the program must be carried compressed";
    ByteBlock file;   // the intact block unpacks, in the same exact-size allocation
    std::unique_ptr<unsigned char[]> block(new unsigned char[Packed().size()]);
    std::memcpy(block.get(), Packed().data(), Packed().size());
    ASSERT_TRUE(UnpackCarried(block.get(), static_cast<uint32_t>(Packed().size()), &file));
    ASSERT_EQ(static_cast<size_t>(file.Size()), Program().size());
  }
};

TEST_F(DamagedCarriedBlock, EveryHeaderByte) {
  for (uint32_t at = 0; at < kCarriedHeaderSize; ++at)
    for (uint8_t mask : {0x01, 0x10, 0x80, 0xFF}) Trial(at, mask, static_cast<uint32_t>(Packed().size()));
}

TEST_F(DamagedCarriedBlock, SizeWordAlone) {
  const uint32_t n = static_cast<uint32_t>(Packed().size());
  for (uint32_t size : {0u, 1u, kCarriedHeaderSize - 1, kCarriedHeaderSize, kCarriedHeaderSize + 1, n / 2,
                        n - 1, n + 1, n + 4096, 2 * n, uint32_t(INT32_MAX), UINT32_MAX})
    Trial(kNoFlip, 0, size);
}

// A few hundred stream bytes flipped, each with the size word as it is, raised (a little or a
// lot) or lowered; the same trials at every run.
TEST_F(DamagedCarriedBlock, StreamBytesWithSizeWords) {
  const uint32_t n = static_cast<uint32_t>(Packed().size());
  const uint32_t stream = n - kCarriedHeaderSize;
  std::mt19937 random(16);
  auto below = [&random](uint32_t limit) { return static_cast<uint32_t>(random() % limit); };
  for (int k = 0; k < 400; ++k) {
    // Half of them in the stream's last 256 bytes, where a damaged decode runs on to its end.
    const uint32_t at = k % 2 ? n - 1 - below(std::min(stream, 256u)) : kCarriedHeaderSize + below(stream);
    const uint8_t mask = static_cast<uint8_t>(1 + below(255));
    const uint32_t by = 1 + below(64);
    const uint32_t sizes[] = {n, n + by, n + by * 4096, n - 1 - below(stream - 1)};
    Trial(at, mask, sizes[k / 2 % 4]);
  }
}

}  // namespace

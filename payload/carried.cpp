// UnpackCarried: a carried block back into the file it was made from (payload/pack.py makes
// the blocks). The LZMA stream is decoded by the LZMA SDK's decoder into one heap block of
// the size the header gives; the x86 filter is undone in place; the result must have the
// SHA-256 recorded at build time.
#include "payload/carried.h"

#include <LzmaDec.h>   // the LZMA SDK's decoder (on Windows its Types.h pulls in <windows.h>)

#include <climits>
#include <cstring>
#include <utility>

#include "services/memory.h"
#include "services/sha256.h"

namespace {

// The header of a block; see payload/pack.py.
const uint32_t kHeaderSize = kCarriedHeaderSize;
const uint32_t kCheckedHeaderSize = 48;   // the header's own check covers these bytes
const uint8_t kMethodStored = 0, kMethodLzma = 1;
const uint8_t kFilterNone = 0, kFilterX86 = 1;

uint32_t ReadLe32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool SameBytes(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }

bool HasDigest(const unsigned char* data, uint32_t size, const unsigned char* digest) {
  const Sha256Digest actual = Sha256(data, size);
  return SameBytes(actual.bytes, digest, sizeof actual.bytes);
}

// A displacement in [-2^24, 2^24) as a 32-bit pattern, taken modulo 2^25 into that range.
uint32_t Wrap25(uint32_t v) { return ((v + 0x1000000u) & 0x1FFFFFFu) - 0x1000000u; }

// Undoes the packer's x86 filter: each call or jump (E8, E9) whose operand's top byte is 00
// or FF holds its target's position; it becomes a displacement again and is skipped whole.
// One within 3 bytes after a call or jump left alone was left alone by the packer.
void UndoX86Filter(unsigned char* p, uint32_t size) {
  uint32_t leftAlone = 0;
  bool anyLeftAlone = false;
  for (uint32_t i = 0; size >= 5 && i <= size - 5;) {
    if (p[i] == 0xE8 || p[i] == 0xE9) {
      if ((!anyLeftAlone || i - leftAlone > 3) && (p[i + 4] == 0x00 || p[i + 4] == 0xFF)) {
        const uint32_t displacement = Wrap25(ReadLe32(p + i + 1) - (i + 5));
        for (int k = 0; k < 4; ++k) p[i + 1 + k] = static_cast<unsigned char>(displacement >> (8 * k));
        i += 5;
        continue;
      }
      leftAlone = i;
      anyLeftAlone = true;
    }
    ++i;
  }
}

void* DecoderAlloc(void*, size_t size) { return AllocateBytes(static_cast<int>(size)); }
void DecoderFree(void*, void* block) { ReleaseBytes(block); }

// Decodes exactly `size` bytes into `out`; the stream must end there. The decoder reads no
// byte past `streamSize` and writes none past `size`.
bool DecodeLzma(const unsigned char* props, const unsigned char* stream, uint32_t streamSize,
                unsigned char* out, uint32_t size) {
  ISzAlloc alloc = {DecoderAlloc, DecoderFree};
  SizeT outSize = size;
  SizeT inSize = streamSize;
  ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
  const SRes result = LzmaDecode(out, &outSize, stream, &inSize, props, LZMA_PROPS_SIZE,
                                 LZMA_FINISH_END, &status, &alloc);
  return result == SZ_OK && outSize == size &&
         (status == LZMA_STATUS_FINISHED_WITH_MARK || status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK);
}

}  // namespace

bool UnpackCarried(const unsigned char* block, uint32_t blockSize, ByteBlock* file) {
  *file = ByteBlock();
  if (blockSize < kHeaderSize) return false;
  const Sha256Digest headerCheck = Sha256(block, kCheckedHeaderSize);
  if (!SameBytes(headerCheck.bytes, block + kCheckedHeaderSize, kHeaderSize - kCheckedHeaderSize))
    return false;
  // The header is the block's own: from here on its fields are believed, and the size word
  // beside the block (outside what the check covers) must give the length it records.
  const uint32_t size = ReadLe32(block);
  const uint32_t bodySize = ReadLe32(block + 4);
  const uint8_t method = block[8];
  const uint8_t filter = block[9];
  const unsigned char* props = block + 10;
  const unsigned char* digest = block + 16;
  const unsigned char* body = block + kHeaderSize;
  if (bodySize != blockSize - kHeaderSize) return false;
  if (size == 0 || size > INT_MAX) return false;

  if (method == kMethodStored) {
    if (filter != kFilterNone || bodySize != size || !HasDigest(body, size, digest)) return false;
    *file = ByteBlock::View(body, static_cast<int>(size));
    return true;
  }
  if (method != kMethodLzma || (filter != kFilterNone && filter != kFilterX86)) return false;
  ByteBlock unpacked = ByteBlock::Adopt(static_cast<unsigned char*>(AllocateBytes(static_cast<int>(size))),
                                        static_cast<int>(size));
  unsigned char* out = const_cast<unsigned char*>(unpacked.Data());
  if (!DecodeLzma(props, body, bodySize, out, size)) return false;
  if (filter == kFilterX86) UndoX86Filter(out, size);
  if (!HasDigest(out, size, digest)) return false;
  *file = std::move(unpacked);
  return true;
}

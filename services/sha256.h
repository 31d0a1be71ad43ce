#pragma once
// SHA-256 of a block of bytes, for checking what was unpacked against what was packed.
#include <cstdint>

struct Sha256Digest {
  uint8_t bytes[32];
};

Sha256Digest Sha256(const void* data, uint32_t size);

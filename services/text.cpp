#include "services/text.h"

#include <cstring>
#include <utility>

#include "services/memory.h"

int TextLength(const char* text) { return text ? static_cast<int>(std::strlen(text)) : 0; }

Text::Text(const char* bytes) : Text(bytes, TextLength(bytes)) {}

Text::Text(const char* bytes, int length) {
  if (length <= 0) return;
  bytes_ = static_cast<char*>(AllocateBytes(length + 1));
  std::memcpy(bytes_, bytes, length);
  bytes_[length] = 0;
  length_ = length;
}

Text::Text(Text&& other) noexcept
    : bytes_(std::exchange(other.bytes_, nullptr)), length_(std::exchange(other.length_, 0)) {}

Text& Text::operator=(Text&& other) noexcept {
  if (this != &other) {
    ReleaseBytes(bytes_);
    bytes_ = std::exchange(other.bytes_, nullptr);
    length_ = std::exchange(other.length_, 0);
  }
  return *this;
}

Text::~Text() { ReleaseBytes(bytes_); }

Text Text::Adopt(char* bytes, int length) {
  Text t;
  if (length <= 0) {
    ReleaseBytes(bytes);
    return t;
  }
  t.bytes_ = bytes;
  t.length_ = length;
  return t;
}

ByteBlock::ByteBlock(ByteBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      owned_(std::exchange(other.owned_, false)) {}

ByteBlock& ByteBlock::operator=(ByteBlock&& other) noexcept {
  if (this != &other) {
    if (owned_) ReleaseBytes(const_cast<unsigned char*>(data_));
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    owned_ = std::exchange(other.owned_, false);
  }
  return *this;
}

ByteBlock::~ByteBlock() {
  if (owned_) ReleaseBytes(const_cast<unsigned char*>(data_));
}

ByteBlock ByteBlock::View(const void* data, int size) {
  ByteBlock b;
  if (size > 0) {
    b.data_ = static_cast<const unsigned char*>(data);
    b.size_ = size;
  }
  return b;
}

ByteBlock ByteBlock::Adopt(unsigned char* data, int size) {
  ByteBlock b;
  if (size <= 0) {
    ReleaseBytes(data);
    return b;
  }
  b.data_ = data;
  b.size_ = size;
  b.owned_ = true;
  return b;
}

ByteBlock ByteBlock::CopyOf(const void* data, int size) {
  ByteBlock b;
  if (size <= 0) return b;
  auto* copy = static_cast<unsigned char*>(AllocateBytes(size));
  std::memcpy(copy, data, size);
  b.data_ = copy;
  b.size_ = size;
  b.owned_ = true;
  return b;
}

#pragma once
// Text: a zero-terminated GBK byte string; absent and empty are the same. ByteBlock: a counted
// block of bytes. Values handed out by the services are new and belong to the receiver; they
// are released when the owning object goes away. Carried constants are views, never released.
#include <cstdint>
#include <initializer_list>

struct Text {
  Text() = default;
  explicit Text(const char* bytes);              // copies; null counts as empty
  Text(const char* bytes, int length);           // copies length bytes
  Text(Text&& other) noexcept;
  Text& operator=(Text&& other) noexcept;
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  ~Text();

  const char* c_str() const { return bytes_ ? bytes_ : ""; }
  int Length() const { return length_; }
  bool Empty() const { return length_ == 0; }
  Text Copy() const { return Text(c_str(), length_); }

  // Takes ownership of a block from AllocateBytes holding length bytes and a zero.
  static Text Adopt(char* bytes, int length);

 private:
  char* bytes_ = nullptr;
  int length_ = 0;
};

struct ByteBlock {
  ByteBlock() = default;
  ByteBlock(ByteBlock&& other) noexcept;
  ByteBlock& operator=(ByteBlock&& other) noexcept;
  ByteBlock(const ByteBlock&) = delete;
  ByteBlock& operator=(const ByteBlock&) = delete;
  ~ByteBlock();

  // A block that refers to bytes carried in the program image; never released.
  static ByteBlock View(const void* data, int size);
  // A new block holding a copy of size bytes.
  static ByteBlock CopyOf(const void* data, int size);
  // Takes ownership of a block of size bytes from AllocateBytes.
  static ByteBlock Adopt(unsigned char* data, int size);

  const unsigned char* Data() const { return data_; }
  int Size() const { return size_; }

 private:
  const unsigned char* data_ = nullptr;
  int size_ = 0;
  bool owned_ = false;
};

// The length of a zero-terminated text; null counts as empty.
int TextLength(const char* text);

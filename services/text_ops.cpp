// Conversions, replacement, joining and comparison of GBK texts. A byte of 0x80 or above starts
// a double-byte character; its second byte is never taken for an ASCII character.
#include "services/text_ops.h"

#include <cstring>

#include "services/decimal.h"
#include "services/memory.h"

namespace {

const unsigned char* Bytes(const char* text) {
  return reinterpret_cast<const unsigned char*>(text ? text : "");
}

bool IsLeadByte(unsigned char b) { return b >= 0x80; }

// A new text of length bytes to be filled by the caller (the zero is already in place).
char* NewTextBuffer(int length) {
  char* buffer = static_cast<char*>(AllocateBytes(length + 1));
  buffer[length] = 0;
  return buffer;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

Text ToText(int32_t value) {
  char buffer[12];
  return Text(buffer, FormatInteger(value, buffer));
}

Text ToText(double value) {
  char buffer[32];
  return Text(buffer, FormatDouble13(value, buffer));
}

Text ToText(const unsigned char* bytes, int count) {
  int length = 0;
  while (bytes && length < count && bytes[length] != 0) ++length;
  return Text(reinterpret_cast<const char*>(bytes), length);
}

// The digits are collected as one integer and the point's place goes into the exponent, so
// "12.5e3" is read as 125 * 10^2, rounded exactly.
double ToNumber(const char* text) {
  const unsigned char* in = Bytes(text);

  // Full-width forms to ASCII.
  int inLength = TextLength(text);
  char* folded = NewTextBuffer(inLength);
  int length = 0;
  for (int i = 0; i < inLength;) {
    unsigned char b = in[i];
    if (IsLeadByte(b) && i + 1 < inLength) {
      unsigned char t = in[i + 1];
      if (b == 0xA3 && t >= 0xA1 && t <= 0xFE) {
        folded[length++] = static_cast<char>(t - 0x80);
      } else if (b == 0xA1 && t == 0xA1) {
        folded[length++] = ' ';
      } else if (b == 0xA1 && t == 0xAB) {
        folded[length++] = '~';
      } else if (b == 0xA1 && (t == 0xEE || t == 0xEF)) {
        folded[length++] = '*';
      } else {
        folded[length++] = static_cast<char>(b);
        folded[length++] = static_cast<char>(t);
      }
      i += 2;
    } else {
      folded[length++] = static_cast<char>(b);
      ++i;
    }
  }
  folded[length] = 0;

  const char* p = folded;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');

  // Mantissa digits, without leading zeros, capped: digits past the cap only move the scale.
  const int kMaxDigits = 40;
  char digits[kMaxDigits + 1];
  int digitCount = 0;
  long scale = 0;          // power of ten applied to the collected digits
  bool anyDigit = false;
  for (; IsDigit(*p); ++p) {
    anyDigit = true;
    if (digitCount == 0 && *p == '0') continue;
    if (digitCount < kMaxDigits) digits[digitCount++] = *p;
    else ++scale;
  }
  if (*p == '.') {
    const char* afterPoint = p + 1;
    if (anyDigit || IsDigit(*afterPoint)) {
      for (p = afterPoint; IsDigit(*p); ++p) {
        anyDigit = true;
        if (digitCount == 0 && *p == '0') { --scale; continue; }
        if (digitCount < kMaxDigits) { digits[digitCount++] = *p; --scale; }
      }
    }
  }
  if (!anyDigit) {
    ReleaseBytes(folded);
    return 0.0;
  }
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    bool expNegative = false;
    if (*q == '+' || *q == '-') expNegative = (*q++ == '-');
    if (IsDigit(*q)) {
      long exponent = 0;
      for (; IsDigit(*q); ++q)
        if (exponent < 100000) exponent = exponent * 10 + (*q - '0');
      scale += expNegative ? -exponent : exponent;
    }
  }
  ReleaseBytes(folded);
  if (digitCount == 0) return negative ? -0.0 : 0.0;

  double value = DecimalToDouble(digits, digitCount, scale);
  return negative ? -value : value;
}

ByteBlock ToBytes(const char* text) { return ByteBlock::CopyOf(text, TextLength(text)); }

ByteBlock ToBytes(int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  unsigned char bytes[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                            static_cast<unsigned char>(v >> 16),
                            static_cast<unsigned char>(v >> 24)};
  return ByteBlock::CopyOf(bytes, 4);
}

int ByteLength(const ByteBlock& block) { return block.Size(); }

namespace {

// One pass of the replacement scan; with out == nullptr it only counts the result's bytes.
int ReplaceScan(const unsigned char* text, int textLength, const unsigned char* search,
                int searchLength, const char* replacement, int replacementLength, char* out) {
  int written = 0;
  auto put = [&](const void* bytes, int count) {
    if (out) std::memcpy(out + written, bytes, count);
    written += count;
  };
  int i = 0;
  while (textLength - i >= searchLength) {
    if (std::memcmp(text + i, search, searchLength) == 0) {
      put(replacement, replacementLength);
      i += searchLength;
    } else if (IsLeadByte(text[i])) {
      if (i + 1 >= textLength) return written;   // a lone lead byte at the end is dropped
      put(text + i, 2);
      i += 2;
    } else {
      put(text + i, 1);
      ++i;
    }
  }
  if (i < textLength) put(text + i, textLength - i);
  return written;
}

}  // namespace

Text ReplaceAll(const char* text, const char* search, const char* replacement) {
  int textLength = TextLength(text);
  int searchLength = TextLength(search);
  if (textLength == 0 || searchLength == 0) return Text(text, textLength);
  int replacementLength = TextLength(replacement);
  const unsigned char* t = Bytes(text);
  const unsigned char* s = Bytes(search);
  int length = ReplaceScan(t, textLength, s, searchLength, replacement, replacementLength, nullptr);
  if (length == 0) return Text();
  char* out = NewTextBuffer(length);
  ReplaceScan(t, textLength, s, searchLength, replacement, replacementLength, out);
  return Text::Adopt(out, length);
}

Text Concat(std::initializer_list<const char*> parts) {
  int length = 0;
  for (const char* part : parts) length += TextLength(part);
  if (length == 0) return Text();
  char* out = NewTextBuffer(length);
  int at = 0;
  for (const char* part : parts) {
    int n = TextLength(part);
    if (n > 0) std::memcpy(out + at, part, n);
    at += n;
  }
  return Text::Adopt(out, length);
}

int CompareText(const char* a, const char* b) {
  const unsigned char* x = Bytes(a);
  const unsigned char* y = Bytes(b);
  for (;; ++x, ++y) {
    if (*x != *y) return *x < *y ? -1 : 1;
    if (*x == 0) return 0;
  }
}

Text ToLower(const char* text) {
  int length = TextLength(text);
  if (length == 0) return Text();
  const unsigned char* in = Bytes(text);
  char* out = NewTextBuffer(length);
  for (int i = 0; i < length; ++i) {
    unsigned char b = in[i];
    if (IsLeadByte(b) && i + 1 < length) {
      out[i] = static_cast<char>(b);
      out[i + 1] = static_cast<char>(in[i + 1]);
      ++i;
    } else {
      out[i] = static_cast<char>(b >= 'A' && b <= 'Z' ? b + 0x20 : b);
    }
  }
  return Text::Adopt(out, length);
}

Text Spaces(int count) {
  if (count < 1) return Text();
  char* out = NewTextBuffer(count);
  std::memset(out, ' ', count);
  return Text::Adopt(out, count);
}

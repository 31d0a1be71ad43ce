// Exact decimal conversions over a small unsigned big integer: a double is m * 2^e exactly,
// so its decimal digits are those of m * 2^e or m * 5^-e; reading digits is a long division of
// two big integers, one binary digit at a time, as far as the double's precision and one more.
#include "services/decimal.h"

#include <cmath>
#include <cstring>

namespace {

// An unsigned integer of up to kLimbs 32-bit limbs, least significant first. 5^1074 times a
// 53-bit significand (the smallest doubles' exact digits) takes 80.
const int kLimbs = 84;

struct Big {
  uint32_t limb[kLimbs];
  int n = 0;   // limbs in use; the top one is not 0

  explicit Big(uint64_t v = 0) {
    while (v) {
      limb[n++] = static_cast<uint32_t>(v);
      v >>= 32;
    }
  }
  bool IsZero() const { return n == 0; }
  void MulAdd(uint32_t factor, uint32_t add) {
    uint64_t carry = add;
    for (int i = 0; i < n; ++i) {
      carry += uint64_t(limb[i]) * factor;
      limb[i] = static_cast<uint32_t>(carry);
      carry >>= 32;
    }
    if (carry) limb[n++] = static_cast<uint32_t>(carry);
  }
  // Times 10^k (or 5^k): in steps of the largest power that fits in a limb.
  void MulPow(uint32_t base, uint32_t step, int stepExponent, int k) {
    for (; k >= stepExponent; k -= stepExponent) MulAdd(step, 0);
    while (k-- > 0) MulAdd(base, 0);
  }
  void ShiftLeft(int bits) {
    if (n == 0) return;
    const int words = bits / 32, rest = bits % 32;
    limb[n] = 0;
    for (int i = n; i >= 0; --i) {
      uint32_t v = limb[i] << rest;
      if (rest && i > 0) v |= limb[i - 1] >> (32 - rest);
      limb[i + words] = v;
    }
    for (int i = 0; i < words; ++i) limb[i] = 0;
    n += words + 1;
    while (n > 0 && limb[n - 1] == 0) --n;
  }
  // *this -= other; other is not larger.
  void Subtract(const Big& other) {
    int64_t borrow = 0;
    for (int i = 0; i < n; ++i) {
      int64_t v = int64_t(limb[i]) - (i < other.n ? other.limb[i] : 0) - borrow;
      borrow = v < 0;
      limb[i] = static_cast<uint32_t>(v);
    }
    while (n > 0 && limb[n - 1] == 0) --n;
  }
  // *this /= divisor (below 2^16), sixteen bits at a time so that every step is a 32-bit
  // division (a 64-bit one would bring in the C runtime's long division); answers the rest.
  uint32_t DivideSmall(uint32_t divisor) {
    uint32_t rest = 0;
    for (int i = n - 1; i >= 0; --i) {
      uint32_t high = rest << 16 | limb[i] >> 16;
      rest = high % divisor;
      uint32_t low = rest << 16 | (limb[i] & 0xFFFF);
      rest = low % divisor;
      limb[i] = (high / divisor) << 16 | low / divisor;
    }
    while (n > 0 && limb[n - 1] == 0) --n;
    return rest;
  }
};

int Compare(const Big& a, const Big& b) {
  if (a.n != b.n) return a.n < b.n ? -1 : 1;
  for (int i = a.n - 1; i >= 0; --i)
    if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
  return 0;
}

void MulPow10(Big& v, int k) { v.MulPow(10, 1000000000u, 9, k); }

char* PutText(char* p, const char* text) {
  while (*text) *p++ = *text++;
  return p;
}

}  // namespace

int FormatInteger(int32_t value, char* out) {
  uint32_t v = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  char* p = out;
  if (value < 0) *p++ = '-';
  while (count) *p++ = digits[--count];
  *p = 0;
  return static_cast<int>(p - out);
}

int FormatDouble13(double value, char* out) {
  const int kPrecision = 13;
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const int biased = static_cast<int>(bits >> 52 & 0x7FF);
  const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
  char* p = out;
  if (bits >> 63) *p++ = '-';
  if (biased == 0x7FF || (biased == 0 && fraction == 0)) {
    p = PutText(p, biased == 0 ? "0" : fraction ? "nan" : "inf");
    *p = 0;
    return static_cast<int>(p - out);
  }

  // value = m * 2^e2 = n * 10^scale exactly.
  const uint64_t m = biased ? fraction | uint64_t(1) << 52 : fraction;
  const int e2 = (biased ? biased : 1) - 1075;
  Big n(m);
  int scale = 0;
  if (e2 >= 0) {
    n.ShiftLeft(e2);
  } else {
    n.MulPow(5, 1220703125u, 13, -e2);
    scale = e2;
  }
  // The decimal digits of n, most significant first (at most 767), four at a time.
  uint16_t chunks[200];
  int chunkCount = 0;
  while (!n.IsZero()) chunks[chunkCount++] = static_cast<uint16_t>(n.DivideSmall(10000));
  char digits[820];
  digits[0] = '0';   // (n is not zero here: zero was written above)
  int length = 0;
  for (int c = chunkCount - 1; c >= 0; --c) {
    char four[4];
    uint32_t v = chunks[c];
    for (int k = 3; k >= 0; --k, v /= 10) four[k] = static_cast<char>('0' + v % 10);
    int k = 0;
    if (c == chunkCount - 1)
      while (k < 3 && four[k] == '0') ++k;
    while (k < 4) digits[length++] = four[k++];
  }
  int exponent = length - 1 + scale;   // of the first digit

  // Rounded to kPrecision digits, ties to even.
  int kept = length;
  if (length > kPrecision) {
    kept = kPrecision;
    const char next = digits[kPrecision];
    bool beyond = false;
    for (int k = kPrecision + 1; k < length && !beyond; ++k) beyond = digits[k] != '0';
    const bool up = next > '5' || (next == '5' && (beyond || (digits[kPrecision - 1] - '0') % 2 == 1));
    if (up) {
      int k = kPrecision - 1;
      while (k >= 0 && digits[k] == '9') digits[k--] = '0';
      if (k >= 0) {
        ++digits[k];
      } else {
        digits[0] = '1';
        ++exponent;
      }
    }
  }
  while (kept > 1 && digits[kept - 1] == '0') --kept;

  if (exponent >= -4 && exponent < kPrecision) {
    if (exponent >= 0) {
      for (int k = 0; k <= exponent; ++k) *p++ = k < kept ? digits[k] : '0';
      if (kept > exponent + 1) {
        *p++ = '.';
        for (int k = exponent + 1; k < kept; ++k) *p++ = digits[k];
      }
    } else {
      p = PutText(p, "0.");
      for (int k = -1; k > exponent; --k) *p++ = '0';
      for (int k = 0; k < kept; ++k) *p++ = digits[k];
    }
  } else {
    *p++ = digits[0];
    if (kept > 1) {
      *p++ = '.';
      for (int k = 1; k < kept; ++k) *p++ = digits[k];
    }
    *p++ = 'e';
    *p++ = exponent < 0 ? '-' : '+';
    const int e = exponent < 0 ? -exponent : exponent;
    if (e >= 100) *p++ = static_cast<char>('0' + e / 100);
    *p++ = static_cast<char>('0' + e / 10 % 10);
    *p++ = static_cast<char>('0' + e % 10);
  }
  *p = 0;
  return static_cast<int>(p - out);
}

double DecimalToDouble(const char* digits, int count, long scale) {
  // The value lies in [10^(top - 1), 10^top).
  const long top = scale + count;
  if (top > 310) return HUGE_VAL;
  if (top < -330) return 0.0;

  // value = r / b * 2^e with r / b in [1, 2).
  Big r, b(1);
  for (int k = 0; k < count; ++k) r.MulAdd(10, static_cast<uint32_t>(digits[k] - '0'));
  if (scale > 0) MulPow10(r, static_cast<int>(scale));
  else MulPow10(b, static_cast<int>(-scale));
  int e = 0;
  while (Compare(r, b) < 0) {
    r.ShiftLeft(1);
    --e;
  }
  for (;;) {
    Big twice = b;
    twice.ShiftLeft(1);
    if (Compare(r, twice) < 0) break;
    b = twice;
    ++e;
  }

  // The significand's bits: 53, or fewer below the normal range; then the rounding bit.
  const int bitCount = e >= -1022 ? 53 : e + 1075;
  if (bitCount < 0) return 0.0;
  uint64_t q = 0;
  for (int i = 0; i < bitCount; ++i) {
    q <<= 1;
    if (Compare(r, b) >= 0) {
      r.Subtract(b);
      q |= 1;
    }
    r.ShiftLeft(1);
  }
  const bool half = Compare(r, b) >= 0;
  if (half) r.Subtract(b);
  if (half && (!r.IsZero() || (q & 1))) ++q;

  // A normal significand carries the hidden bit into the exponent field; a carry out of the
  // top bit moves the exponent on by itself.
  const uint64_t result = e >= -1022 ? (uint64_t(e + 1022) << 52) + q : q;
  if (result >= uint64_t(0x7FF) << 52) return HUGE_VAL;
  double value;
  std::memcpy(&value, &result, sizeof value);
  return value;
}

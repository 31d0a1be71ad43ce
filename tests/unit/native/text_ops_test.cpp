// Text operations: conversions, replacement, joining, comparison.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "services/text_ops.h"
#include "sim/sim.h"

namespace {

std::string S(const Text& t) { return std::string(t.c_str(), t.Length()); }
std::string S(const ByteBlock& b) {
  return std::string(reinterpret_cast<const char*>(b.Data()), b.Size());
}

// The literals below are GBK in the program; these pin the bytes the cases rely on.
TEST(TextOpsLiterals, ChineseLiteralsAreGbkBytes) {
  EXPECT_EQ(std::string("\xA3\xB3"), "３");
  EXPECT_EQ(std::string("\x95\x5C"), "昞");
  EXPECT_EQ(std::string("\xA1\xA1"), "　");
}

TEST(ToText, Integers) {
  EXPECT_EQ(S(ToText(int32_t{-5})), "-5");
  EXPECT_EQ(S(ToText(int32_t{0})), "0");
  EXPECT_EQ(S(ToText(int32_t{INT32_MIN})), "-2147483648");
  EXPECT_EQ(S(ToText(int32_t{INT32_MAX})), "2147483647");
}

TEST(ToText, DoublesUseThirteenSignificantDigits) {
  EXPECT_EQ(S(ToText(100.0)), "100");
  EXPECT_EQ(S(ToText(0.1)), "0.1");
  EXPECT_EQ(S(ToText(1.0 / 3)), "0.3333333333333");
  EXPECT_EQ(S(ToText(13.0)), "13");
  EXPECT_EQ(S(ToText(0.5)), "0.5");
  EXPECT_EQ(S(ToText(2.0 / 3)), "0.6666666666667");   // rounded, not cut
  EXPECT_EQ(S(ToText(-2.5)), "-2.5");
  EXPECT_EQ(S(ToText(-0.0)), "-0");
}

TEST(ToText, DoublesSwitchToExponentOutsideTheRange) {
  EXPECT_EQ(S(ToText(1e20)), "1e+20");
  EXPECT_EQ(S(ToText(1e12)), "1000000000000");   // exponent 12: still plain
  EXPECT_EQ(S(ToText(1e13)), "1e+13");
  EXPECT_EQ(S(ToText(0.0001)), "0.0001");
  EXPECT_EQ(S(ToText(0.00001)), "1e-05");
  EXPECT_EQ(S(ToText(1e300)), "1e+300");
}

// A locale whose decimal point is a comma: an installed one, or one compiled for the test.
bool UseDecimalCommaLocale() {
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) return true;
  char dir[] = "/tmp/tovara-locale-XXXXXX";
  if (!mkdtemp(dir)) return false;
  std::string command = std::string("localedef -i de_DE -f UTF-8 ") + dir +
                        "/de_DE.UTF-8 >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return false;
  setenv("LOCPATH", dir, 1);
  bool ok = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  std::system((std::string("rm -rf ") + dir).c_str());
  return ok;
}

// The counter must read the same whatever locale the process runs under.
TEST(ToText, DoublesIgnoreTheLocaleDecimalComma) {
  if (!UseDecimalCommaLocale()) GTEST_SKIP() << "no locale with a decimal comma available";
  char check[16];
  std::snprintf(check, sizeof check, "%.1f", 0.5);
  std::string half = S(ToText(0.5));
  std::string big = S(ToText(1.5e20));
  double parsed = ToNumber("2.25");
  double parsedExp = ToNumber("1.5e3");
  std::setlocale(LC_NUMERIC, "C");
  ASSERT_STREQ(check, "0,5");   // the locale is in effect
  EXPECT_EQ(half, "0.5");
  EXPECT_EQ(big, "1.5e+20");
  EXPECT_EQ(parsed, 2.25);
  EXPECT_EQ(parsedExp, 1500.0);
}

TEST(ToText, ByteArraysStopAtTheFirstZero) {
  const unsigned char name[8] = {'C', 'o', 'o', 'l', 0, 'X', 'Y', 'Z'};
  EXPECT_EQ(S(ToText(name, 8)), "Cool");
  const unsigned char full[3] = {'a', 'b', 'c'};
  EXPECT_EQ(S(ToText(full, 3)), "abc");   // no zero: all of them, nothing read beyond
  EXPECT_TRUE(ToText(name + 4, 4).Empty());
  EXPECT_TRUE(ToText(static_cast<const unsigned char*>(nullptr), 0).Empty());
}

TEST(ToNumber, PlainNumbers) {
  EXPECT_EQ(ToNumber("12"), 12.0);
  EXPECT_EQ(ToNumber("12abc"), 12.0);
  EXPECT_EQ(ToNumber(""), 0.0);
  EXPECT_EQ(ToNumber(nullptr), 0.0);
  EXPECT_EQ(ToNumber("abc"), 0.0);
  EXPECT_EQ(ToNumber("  \t-3.5"), -3.5);
  EXPECT_EQ(ToNumber("+7"), 7.0);
  EXPECT_EQ(ToNumber("- 7"), 0.0);
  EXPECT_EQ(ToNumber("."), 0.0);
  EXPECT_EQ(ToNumber(".5"), 0.5);
  EXPECT_EQ(ToNumber("5."), 5.0);
  EXPECT_EQ(ToNumber("1.2.3"), 1.2);
  EXPECT_EQ(ToNumber("0.1"), 0.1);                    // correctly rounded
  EXPECT_EQ(ToNumber("0.3333333333333"), 0.3333333333333);
}

TEST(ToNumber, Exponents) {
  EXPECT_EQ(ToNumber("1e3"), 1000.0);
  EXPECT_EQ(ToNumber("2.5E-2"), 0.025);
  EXPECT_EQ(ToNumber("1e+20"), 1e20);
  EXPECT_EQ(ToNumber("7e"), 7.0);      // no exponent digits: the "e" ends the number
  EXPECT_EQ(ToNumber("7e+"), 7.0);
  EXPECT_EQ(ToNumber("1e999"), HUGE_VAL);
  EXPECT_EQ(ToNumber("1e-999"), 0.0);
  EXPECT_EQ(ToNumber("0x10"), 0.0);    // no hexadecimal
  EXPECT_EQ(ToNumber("inf"), 0.0);
}

TEST(ToNumber, ReadsBackTheCounterText) {
  for (double v : {0.0, 1.0, 59.0, 76.25, 123456.789, 1e-7, 1e15}) {
    EXPECT_EQ(ToNumber(ToText(v).c_str()), v) << v;
  }
  // Thirteen digits do not hold a third; the text reads back as itself.
  Text third = ToText(1.0 / 3);
  EXPECT_EQ(S(ToText(ToNumber(third.c_str()))), S(third));
}

// The program formats and reads numbers with its own exact code; the C library of the test
// machine (correctly rounded in the C locale) is the reference, over doubles of every kind:
// subnormal, near the overflow, near ties at the thirteenth digit, and random bit patterns.
TEST(ToNumber, AgreesWithTheCLibraryAcrossTheDoubleRange) {
  std::vector<double> values = {5e-324, 2.2250738585072009e-308, 2.2250738585072014e-308,
                                1.7976931348623157e308, 1099511627776.5, 1099511627777.5,
                                0.00012345678901235, 9.9999999999995e-5, 9999999999999.5,
                                99999999999994.0, 4.35e-320, 1e23, 8.5, 123456789012345678.0};
  uint64_t seed = 0x9E3779B97F4A7C15u;
  for (int i = 0; i < 3000; ++i) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    uint64_t bits = seed;
    if (i % 3 == 0) bits = (bits & 0x800FFFFFFFFFFFFFu) | (uint64_t((seed >> 20) % 80 + 1000) << 52);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isfinite(v)) values.push_back(v);
  }
  for (double v : values) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.13g", v);
    EXPECT_EQ(S(ToText(v)), expected) << "%.17g of it: " << v;
    char exact[64];
    std::snprintf(exact, sizeof exact, "%.17g", v);
    EXPECT_EQ(ToNumber(exact), v) << exact;
    EXPECT_EQ(ToNumber(expected), std::strtod(expected, nullptr)) << expected;
  }
  // Forty digits, the last of them past a double's precision, and ties of the binary halves.
  for (const char* text : {"1.797693134862315807937289714053e308", "2.4703282292062327e-324",
                           "2.4703282292062328e-324", "9007199254740993", "9007199254740995",
                           "0.1000000000000000055511151231257827021181583404541015625",
                           "1234567890123456789012345678901234567890e-20", "4.9406564584124654e-324"}) {
    EXPECT_EQ(ToNumber(text), std::strtod(text, nullptr)) << text;
  }
}

TEST(ToNumber, FullWidthFormsFold) {
  EXPECT_EQ(ToNumber("３"), 3.0);
  EXPECT_EQ(ToNumber("１２．５"), 12.5);
  EXPECT_EQ(ToNumber("－４"), -4.0);
  EXPECT_EQ(ToNumber("　　８"), 8.0);       // full-width blanks are skipped like blanks
  EXPECT_EQ(ToNumber("１２秒"), 12.0);
  EXPECT_EQ(ToNumber("～１"), 0.0);          // "~1": not a number
  EXPECT_EQ(ToNumber("※１"), 0.0);          // 0xA1 0xF9 is no full-width form: stays
}

TEST(ToBytes, TextsAndIntegers) {
  EXPECT_EQ(S(ToBytes("ab\r\n")), "ab\r\n");
  EXPECT_EQ(ToBytes("").Size(), 0);
  EXPECT_EQ(ToBytes(static_cast<const char*>(nullptr)).Size(), 0);
  EXPECT_EQ(S(ToBytes(int32_t{4})), std::string("\x04\x00\x00\x00", 4));
  EXPECT_EQ(S(ToBytes(int32_t{0})), std::string(4, '\0'));
  EXPECT_EQ(S(ToBytes(int32_t{-2})), std::string("\xFE\xFF\xFF\xFF", 4));
  EXPECT_EQ(S(ToBytes(int32_t{0x12345678})), std::string("\x78\x56\x34\x12", 4));
  EXPECT_EQ(ByteLength(ToBytes("配置")), 4);
  EXPECT_EQ(ByteLength(ByteBlock()), 0);
}

const char kCrLf[] = "\r\n";

TEST(ReplaceAll, EnterMarkers) {
  EXPECT_EQ(S(ReplaceAll("a[enter]b[enter]", "[enter]", kCrLf)), "a\r\nb\r\n");
  EXPECT_EQ(S(ReplaceAll("[ENTER]", "[enter]", kCrLf)), "[ENTER]");
  EXPECT_EQ(S(ReplaceAll("[enter[enter]]", "[enter]", kCrLf)), "[enter\r\n]");
  EXPECT_EQ(S(ReplaceAll("[enter]", "[enter]", kCrLf)), "\r\n");
  EXPECT_EQ(S(ReplaceAll("[enter][enter]", "[enter]", kCrLf)), "\r\n\r\n");
  EXPECT_EQ(S(ReplaceAll("[ent", "[enter]", kCrLf)), "[ent");   // shorter than the search
  EXPECT_EQ(S(ReplaceAll("签[enter]签", "[enter]", kCrLf)), "签\r\n签");
}

TEST(ReplaceAll, NoOverlapAndNoRescan) {
  EXPECT_EQ(S(ReplaceAll("aaa", "aa", "b")), "ba");
  EXPECT_EQ(S(ReplaceAll("aaaa", "aa", "b")), "bb");
  EXPECT_EQ(S(ReplaceAll("ab", "a", "aa")), "aab");   // the inserted "a" is not replaced again
  EXPECT_EQ(S(ReplaceAll("xyz", "y", "")), "xz");
  EXPECT_TRUE(ReplaceAll("yy", "y", "").Empty());
}

TEST(ReplaceAll, EmptyArgumentsGiveACopy) {
  EXPECT_EQ(S(ReplaceAll("abc", "", "x")), "abc");
  EXPECT_EQ(S(ReplaceAll("abc", nullptr, "x")), "abc");
  EXPECT_TRUE(ReplaceAll("", "a", "x").Empty());
  EXPECT_TRUE(ReplaceAll(nullptr, "a", "x").Empty());
  EXPECT_EQ(S(ReplaceAll("abc", "b", nullptr)), "ac");
}

TEST(ReplaceAll, NeverMatchesASecondByte) {
  // "昞" is 0x95 0x5C: its second byte is a backslash byte, not a backslash.
  EXPECT_EQ(S(ReplaceAll("a昞b\\c", "\\", "/")), "a昞b/c");
  EXPECT_EQ(S(ReplaceAll("昞", "\\", "/")), "昞");
  // A search that begins on a character boundary still matches double-byte text.
  EXPECT_EQ(S(ReplaceAll("酷Q酷Q", "酷", "x")), "xQxQ");
  // A search that would start on a second byte does not match there.
  std::string text = "昞\\";           // 0x95 0x5C 0x5C
  EXPECT_EQ(S(ReplaceAll(text.c_str(), "\\\\", "#")), "昞\\");
}

TEST(ReplaceAll, LoneLeadByteAtTheEnd) {
  std::string cut = std::string("ab") + '\x95';
  // Reached inside the scan (the search is one byte): dropped.
  EXPECT_EQ(S(ReplaceAll(cut.c_str(), "x", "y")), "ab");
  // Left over after the scan (fewer bytes left than the search has): kept with the rest.
  EXPECT_EQ(S(ReplaceAll(cut.c_str(), "xy", "z")), cut);
}

TEST(Concat, JoinsInOrder) {
  EXPECT_EQ(S(Concat({"D:\\酷Q", "\\plugin\\", "a.dll"})), "D:\\酷Q\\plugin\\a.dll");
  EXPECT_EQ(S(Concat({"a", nullptr, "", "b"})), "ab");
  EXPECT_TRUE(Concat({nullptr, ""}).Empty());
  Text t = Concat({"x", "y"});
  EXPECT_EQ(t.c_str()[t.Length()], '\0');
}

TEST(CompareText, OrderAndEquality) {
  EXPECT_EQ(CompareText(nullptr, ""), 0);
  EXPECT_EQ(CompareText("", nullptr), 0);
  EXPECT_EQ(CompareText("A", "a"), -1);
  EXPECT_EQ(CompareText("a", "A"), 1);
  EXPECT_EQ(CompareText("coolq.exe", "coolq.exe"), 0);
  EXPECT_EQ(CompareText("ab", "abc"), -1);
  EXPECT_EQ(CompareText("abc", "ab"), 1);
  EXPECT_EQ(CompareText("", "a"), -1);
  // Bytes compare unsigned: a GBK byte sorts after every ASCII byte.
  EXPECT_EQ(CompareText("酷", "z"), 1);
  EXPECT_EQ(CompareText("z", "酷"), -1);
}

TEST(ToLower, AsciiLettersOnly) {
  EXPECT_EQ(S(ToLower("CoolQ.exe")), "coolq.exe");
  EXPECT_EQ(S(ToLower("ABC-xyz_09@[`")), "abc-xyz_09@[`");
  EXPECT_TRUE(ToLower("").Empty());
  EXPECT_TRUE(ToLower(nullptr).Empty());
  // 0x81 0x41 is a character whose second byte is "A": it stays.
  std::string withTrailA = "\x81\x41" "A";
  EXPECT_EQ(S(ToLower(withTrailA.c_str())), "\x81\x41" "a");
  EXPECT_EQ(S(ToLower("酷Q.EXE")), "酷q.exe");
  std::string loneLead = std::string("A") + '\x95';
  EXPECT_EQ(S(ToLower(loneLead.c_str())), std::string("a") + '\x95');
}

TEST(Spaces, Counts) {
  EXPECT_TRUE(Spaces(0).Empty());
  EXPECT_TRUE(Spaces(-3).Empty());
  EXPECT_EQ(S(Spaces(4)), "    ");
  EXPECT_EQ(S(Spaces(1)), " ");
}

// A result that cannot be allocated ends the program through the fatal error path.
TEST(TextOpsMemory, FailedAllocationEndsTheProgram) {
  sim::Reset("D:\\host");
  sim::FailAllocations(1);
  int code = sim::Run([] { Concat({"a", "b"}); });
  EXPECT_EQ(code, -1);
  ASSERT_FALSE(sim::MessageBoxes().empty());
  EXPECT_NE(sim::MessageBoxes().back().text.find("分配 3 字节内存失败!"), std::string::npos);
}

}  // namespace

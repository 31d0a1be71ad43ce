#pragma once
// Exact conversions between binary doubles and decimal digits, without the C library's
// formatting and reading (which the program would otherwise carry whole, for three numbers).
#include <cstdint>

// Writes value in decimal ("-2147483648") to out (12 bytes at least, a zero after the digits);
// returns the digits' count.
int FormatInteger(int32_t value, char* out);

// Writes value as "%.13g" writes it in the C locale, the digits correctly rounded (ties to
// even): "0.3333333333333", "1e+20", "1e-05", "-0"; "inf", "-inf", "nan" for the rest.
// out holds 32 bytes at least; a zero follows; returns the length.
int FormatDouble13(double value, char* out);

// The double nearest to the integer of `count` decimal digits ('0'..'9', the first not '0')
// times 10^scale, ties to even: HUGE_VAL when too large, 0 when too small. count is 1 to 40.
double DecimalToDouble(const char* digits, int count, long scale);

#pragma once
// Conversions, replacement, joining and comparison of GBK texts. Each answers a new value that
// belongs to the caller; an absent (null) text argument counts as the empty text.
#include <cstdint>
#include <initializer_list>

#include "services/text.h"

Text RunDirectory();                                   // HostDir, without a trailing backslash

Text ToText(int32_t value);                            // "%d"
Text ToText(double value);                             // "%.13g"
Text ToText(const unsigned char* bytes, int count);    // a byte array, up to its first zero

double ToNumber(const char* text);                     // full-width forms folded, leading number

ByteBlock ToBytes(const char* text);                   // the bytes, no terminating zero
ByteBlock ToBytes(int32_t value);                      // four bytes, least significant first
int ByteLength(const ByteBlock& block);

Text ReplaceAll(const char* text, const char* search, const char* replacement);
Text Concat(std::initializer_list<const char*> parts);
int CompareText(const char* a, const char* b);        // -1, 0 or 1
Text ToLower(const char* text);                        // A-Z only, second bytes untouched
Text Spaces(int count);

// Japanese page encodings: telling JIS, EUC and Shift-JIS apart, and turning
// JIS and EUC pages into the Shift-JIS text the rest of the program reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Encoding codes; the same values as the first three of DocEncoding.
constexpr int KanjiCodeJis = 0;
constexpr int KanjiCodeEuc = 1;
constexpr int KanjiCodeSjis = 2;

// Looks for the first escape sequence or high byte pair that decides the
// encoding; text without one (plain ASCII) counts as JIS.
int DetectKanjiCode(const unsigned char* Buf, int64_t Len);
int DetectKanjiCode(std::string_view Buf);

// One JIS X 0208 code (row byte high, cell byte low) to its Shift-JIS code
// (lead byte high). Pure arithmetic; bytes out of range are not checked.
uint16_t JISCharToSJIS(uint16_t Code);

// Converters: one forward pass, a new buffer never longer than the input.
// A sequence cut off by the end of the input is dropped.
std::string JISToSJIS(std::string_view Src);
std::string EUCToSJIS(std::string_view Src);
// The same into a buffer of at least Len bytes; returns the length written.
size_t JISToSJIS(const char* Src, size_t Len, char* Out);
size_t EUCToSJIS(const char* Src, size_t Len, char* Out);

// The encoding of a page as a current browser determines it, and the page
// turned into the Shift-JIS text the scanner reads. Used by the modern
// reading only; the classic detection stays in YKKanjiLib.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Encoding.h"

// The code a page record stores for a page read as UTF-8 ("UTF8"); the
// classic codes 0..2 stay as they are.
constexpr int KanjiCodeUtf8 = 4;

// The code of an encoding label as pages write it ("utf-8", "Shift_JIS",
// "x-euc-jp", "ISO-2022-JP" ...), compared without case and surrounding
// blanks; -1 for a label naming none of the four.
int CharsetLabelCode(std::string_view label);

// True when the bytes are valid UTF-8 holding at least one multi-byte
// sequence.
bool IsUtf8WithMultibyte(std::string_view bytes);

// The declared encoding: a byte-order mark, then a <meta charset> within the
// first 1024 bytes, then a <meta http-equiv="Content-Type" content="...;
// charset=..."> there, then an XML declaration at the start; -1 when none
// of these names a known encoding.
int DeclaredPageEncoding(std::string_view raw);

// The encoding the modern reading uses: the declared one, else UTF-8 for
// valid UTF-8 with a multi-byte sequence, else the classic detection.
int SniffPageEncoding(std::string_view raw);

// The page as Shift-JIS text in the given code. A UTF-8 page loses its
// byte-order mark; a character Shift-JIS cannot hold becomes the character
// reference "&#xHHHH;", which means the same character to every later step,
// and a byte that is not UTF-8 becomes "&#xFFFD;", as a browser shows it.
std::string PageTextToSjis(std::string_view raw, int code);
// The same, written into out (whose memory is reused from page to page)
// unless the text stays as it is: returns raw itself for a page in plain
// ASCII or already in Shift-JIS, else out's text.
std::string_view PageTextToSjis(std::string_view raw, int code, platform::TTextBuffer& out);
// A UTF-8 page's text past its byte-order mark, as the modern walk reads it
// (see TPageElements).
std::string_view Utf8PageBody(std::string_view raw);

// One Unicode character as Shift-JIS, or "<U+XXXX>" (the program's way of
// showing a character without a Shift-JIS form) when there is none.
void AppendCodePointSjis(std::string& out, uint32_t cp);

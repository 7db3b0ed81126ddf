// The texts the result lists draw, as pure functions of the data.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The path shortened until width(result) <= maxWidth: leading folders give
// way to "..." one by one ("/a/b/c.htm" -> "/.../b/c.htm" -> "/.../c.htm"),
// then the root (".../c.htm"), and last only the file name remains, which is
// never cut even when it does not fit.
std::string MinimizePath(const std::string& path, int maxWidth, const std::function<int(const std::string&)>& width);

// A part's share of its page's weight, "%5.2f%%": " 0.00%" for an empty part,
// "100.00%" for the whole page.
std::string ShareText(int64_t partSize, int64_t pageSize);

// "JIS", "EUC", "SJIS", "AUTO" for 0 to 3, "UTF8" for 4; empty otherwise.
std::string EncodingLabel(int code);

// The kind of a part as the parts list shows it with the modern reading on
// (CP932): "ページ", "画像", "スタイル", "スクリプト", "フォント", "メディア",
// "フレーム", "その他".
const std::string& PartKindLabel(uint8_t kind);

// The name a list search compares: the file-name part of a path, upper-cased
// (ASCII letters only) when ignoring case.
std::string SearchName(const std::string& path, bool ignoreCase);

// The item file of WWWC, the outside web update checker: six tagged lines
// per item. Reading is lenient so that hand-edited files still load; writing
// always gives the strict form.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// The field tags in their fixed order.
enum TWlsField : int { wfName = 0, wfURL, wfOption, wfTime, wfSize, wfComment };
inline constexpr int WlsFieldCount = 6;
inline constexpr std::array<const char*, WlsFieldCount> WlsTags{"<NAME>", "<URL>",  "<OPTION>",
                                                                "<TIME>", "<SIZE>", "<COMMENT>"};

// One item. Each field holds a whole line of the file, tag included
// ("<URL>http://a.example/"); an empty field is one the item lacks.
struct TWlsItem {
    std::array<std::string, WlsFieldCount> Fields;

    std::string& operator[](TWlsField f) { return Fields[static_cast<size_t>(f)]; }
    const std::string& operator[](TWlsField f) const { return Fields[static_cast<size_t>(f)]; }
    bool operator==(const TWlsItem&) const = default;

    // Gives every missing field its bare tag.
    void FillMissing();
};

// The new item for an outside address: its name and URL are the address,
// time and size say there are none yet.
TWlsItem NewWlsItem(const std::string& address);

// Which field a line belongs to: the tag it begins with (exact, case-
// sensitive), or -1 for a line that begins with none of them.
int WlsFieldOfLine(std::string_view line);

// Reads the items of a file's bytes. Lines end in CR LF, a lone LF or a lone
// CR (as files saved by other editors have them); blank lines are skipped; a line without a tag is a name line
// and gets "<NAME>" in front; an item ends when a line arrives for a field
// it already has, and that line starts the next one. Every item returned has
// all six fields, the missing ones as bare tags.
std::vector<TWlsItem> ReadWlsItems(std::string_view bytes);

// A text as a field can hold it: without CR and LF, which would end the
// line and shift every later field of the file. Neither byte is ever part
// of a double-byte character.
std::string WlsFieldText(std::string text);

// The file's bytes: every item's six fields in tag order, one line each
// (cleaned by WlsFieldText), each followed by CR LF.
std::string WriteWlsItems(const std::vector<TWlsItem>& items);
// One item's lines as WriteWlsItems writes them, added to out.
void AppendWlsItem(std::string& out, const TWlsItem& item);

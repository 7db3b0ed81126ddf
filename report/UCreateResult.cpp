#include "report/UCreateResult.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <utility>

#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "platform/BusyCursor.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "settings/Uenviron.h"

namespace {

// Right-aligns text in a field of the given width with the fill byte
// ("%5.2f" pads with blanks; the minute and second fields with zeros).
std::string PadLeft(std::string text, size_t width, char fill = ' ') {
    if (text.size() < width) text.insert(0, width - text.size(), fill);
    return text;
}

std::string WithUnit(std::string number, std::string_view unit) {
    number += unit;
    return number;
}

}  // namespace

std::string FormatWeight(int64_t Size) {
    const double size = static_cast<double>(Size);
    switch (EnvSettings.FileSizeDisp) {
        case 0:
            return WithUnit(platform::FormatThousands(Size), " Bytes");
        case 1:
            if (Size < 1024) return WithUnit(std::to_string(Size), " Bytes");
            if (Size < 1048576) return WithUnit(platform::FormatNumber(size / 1024, 2), " KB");
            return WithUnit(platform::FormatNumber(size / 1024 / 1024, 2), " MB");
        case 2:
            return WithUnit(platform::FormatThousands(Size), " g");
        case 3:
            if (Size < 1000) return WithUnit(std::to_string(Size), " g");
            if (Size < 1000000) return WithUnit(platform::FormatNumber(size / 1000, 2), " Kg");
            return WithUnit(platform::FormatNumber(size / 1000 / 1000, 2), " t");
        default:
            return std::string();
    }
}

std::string FormatLoadTime(int64_t Size) {
    const int64_t bps = EnvSettings.Bps;
    // A hand-edited settings file can hold any speed; without a positive one
    // there is no time to show, and a division by it would fault.
    if (bps <= 0) return std::string();

    // 128-bit bits: Size * 8 does not fit 64 bits for the largest sizes,
    // and 32 bits (as the sizes once were) wrap from 256 MiB up.
    const __int128 bits = static_cast<__int128>(Size) * 8;
    const int64_t perMinute = bps * 60;
    const auto remainder = static_cast<int64_t>(bits % perMinute);
    const auto totalMinutes = static_cast<int64_t>(bits / perMinute);
    const int64_t minutes = totalMinutes % 60;
    const int64_t hours = totalMinutes / 60;
    const double seconds = static_cast<double>(remainder) / static_cast<double>(bps);

    std::string secondText = PadLeft(platform::FormatFixed(seconds, 2), 5, '0');
    if (hours != 0) {
        return PadLeft(std::to_string(hours), 2) + SJ("時間") + " " +
               PadLeft(std::to_string(minutes), 2, '0') + SJ("分") + " " + secondText + SJ("秒");
    }
    if (minutes != 0)
        return PadLeft(std::to_string(minutes), 2) + SJ("分") + " " + secondText + SJ("秒");
    return PadLeft(platform::FormatFixed(seconds, 2), 5) + SJ("秒");
}

// ---------------------------------------------------------------------------
// Reports

namespace {

using Lines_t = std::vector<std::string>;

const char* const kSeparator = "----------------------------------------------------------------------";

// Right-aligned in a field of width bytes; a longer text widens the field,
// as printf does.
std::string Field(const std::string& text, size_t width) { return PadLeft(text, width); }
std::string Field(int64_t number, size_t width) { return PadLeft(std::to_string(number), width); }

// The share of a part in its page's weight, "%6.2f%%".
std::string ShareText(int64_t part, int64_t page) {
    double share = page == 0 ? 0.0 : static_cast<double>(part) * 100.0 / static_cast<double>(page);
    return PadLeft(platform::FormatFixed(share, 2), 6) + "%";
}

std::string Cat(std::initializer_list<std::string_view> pieces) {
    size_t n = 0;
    for (std::string_view p : pieces) n += p.size();
    std::string r;
    r.reserve(n);
    for (std::string_view p : pieces) r += p;
    return r;
}

// A page's parts in the order of the main window's parts list.
void SortPageItems(THTMLFileInfo& page) {
    int key;
    switch (EnvSettings.SortType) {
        case SortBySize:
        case SortByImageCount: key = SortBySize; break;
        case SortByName: key = SortByName; break;
        default: return;
    }
    int selected = -1;
    page.Items.Sort(key, EnvSettings.SortAscending, selected);
}

// Outside URLs ordered by their upper-cased bytes; equal ones keep their order.
void SortPageURLs(THTMLFileInfo& page) {
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(page.URLList.size());
    for (std::string& url : page.URLList) keyed.emplace_back(AnsiUpper(url), std::move(url));
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < keyed.size(); ++i) page.URLList[i] = std::move(keyed[i].second);
}

bool AnyURLs() {
    for (const THTMLFileInfo* page : FileList)
        if (!page->URLList.empty()) return true;
    return false;
}

bool AnyNotFound() {
    for (const THTMLFileInfo* page : FileList)
        if (!page->NotFoundList.empty()) return true;
    return false;
}

const std::string& NoneText() { return SJ("*** ありません"); }

void AddSectionHead(Lines_t& Lines, const std::string& title) {
    Lines.emplace_back();
    Lines.emplace_back(kSeparator);
    Lines.push_back(title);
}

// The link of the preformatted tables: H5 + address + H6 + name + H7.
std::string PreFileLink(const std::string& path) {
    return Cat({"<A HREF=\"file:///", FilePathToURL(path), "\" TARGET=\"LINK\">", path, "</A>"});
}

// The link of the HTML report, without its closing piece.
std::string HtmlFileLink(const std::string& path) {
    return Cat({"<a href=\"file:///", FilePathToURL(path), "\" TARGET=\"LINK\">", path});
}

std::string ClosingLine() { return std::string(VersionText) + " by Orvanel"; }

// Refuses to replace a file the user protected against writing: the report
// is renamed into place, which would otherwise pass over the file's mode.
bool ExistingFileWritable(const std::string& path) {
    auto native = platform::ToNative(path);
    if (!native) return false;
    struct stat st;
    if (::lstat(native->c_str(), &st) != 0) return true;  // nothing to replace
    if (S_ISLNK(st.st_mode) && ::stat(native->c_str(), &st) != 0) return true;
    if (S_ISDIR(st.st_mode)) return false;
    return (st.st_mode & 0222) != 0 && ::access(native->c_str(), W_OK) == 0;
}

void WriteReportFile(const std::string& path, const Lines_t& lines) {
    if (path.empty() || !ExistingFileWritable(path)) throw EFileCreateError(path);
    if (!platform::WriteFileAtomic(path, JoinReportLines(lines))) throw EFileCreateError(path);
}

}  // namespace

EFileCreateError::EFileCreateError(const std::string& fileName)
    : std::runtime_error(SJ("ﾌｧｲﾙ ") + fileName + SJ(" を作成できません")), fileName_(fileName) {}

std::string ReportDateTimeText() {
    platform::TLocalTime t;
    bool fixed = false;
    if (const char* env = std::getenv("SOURCE_DATE_EPOCH"); env && *env) {
        errno = 0;
        char* end = nullptr;
        long long seconds = std::strtoll(env, &end, 10);
        tm parts{};
        time_t moment = static_cast<time_t>(seconds);
        if (errno == 0 && end != env && *end == '\0' && gmtime_r(&moment, &parts)) {
            t.year = parts.tm_year + 1900;
            t.month = parts.tm_mon + 1;
            t.day = parts.tm_mday;
            t.hour = parts.tm_hour;
            t.minute = parts.tm_min;
            t.second = parts.tm_sec;
            fixed = true;
        }
    }
    if (!fixed) t = platform::NowLocal();
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

std::string SortTypeCaption() {
    switch (EnvSettings.SortType) {
        case 0: return SJ("サイズ/所要時間でソート");
        case 1: return SJ("ファイル名でソート");
        case 2: return SJ("IMG ファイル総数でソート");
        default: return SJ("ソートしない");
    }
}

std::string JoinReportLines(const Lines_t& Lines) {
    size_t n = 0;
    for (const std::string& l : Lines) n += l.size() + 2;
    std::string out;
    out.reserve(n);
    for (const std::string& l : Lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

std::string FilePathToURL(const std::string& Path) {
    static constexpr std::string_view kEscaped = "% #<>[]^`{|}~";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(Path.size() + Path.size() / 4);
    for (size_t i = 0; i < Path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(Path[i]);
        if (IsSjisLead(c) && i + 1 < Path.size()) {
            out += Path[i];
            out += Path[++i];
        } else if (kEscaped.find(static_cast<char>(c)) != std::string_view::npos) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    if (!out.empty() && out[0] == '/') out.erase(0, 1);
    return out;
}

void AddCheckedFileTable(Lines_t& Lines, bool HTMLMode) {
    Lines.push_back(SJ("順位   ファイルサイズ        読み込み時間  画像数  エラー ファイル名"));
    for (int i = 0; i < FileList.Count(); ++i) {
        const THTMLFileInfo& page = *FileList[i];
        const std::string index = std::to_string(i);
        std::string line;
        std::string name = page.FileName;
        if (HTMLMode) {
            line = Cat({"<a NAME=\"MASTER", index, "\">"});
            name = Cat({"</a><a href=\"#SOURCE", index, "\">", SJ("↓"), "</a> ", PreFileLink(page.FileName)});
        }
        line += Cat({Field(i + 1, 4), " ", Field(FormatWeight(page.TotalSize), 16), " ",
                     Field(FormatLoadTime(page.TotalSize), 19), " ", Field(page.Items.Count() - 1, 7), " ",
                     Field(static_cast<int64_t>(page.NotFoundList.size()), 7), " ", name});
        Lines.push_back(std::move(line));
    }
}

void AddResourceTables(Lines_t& Lines, bool HTMLMode) {
    for (int i = 0; i < FileList.Count(); ++i) {
        THTMLFileInfo& page = *FileList[i];
        const std::string index = std::to_string(i);
        if (HTMLMode) {
            Lines.emplace_back("<BR>");
            Lines.emplace_back("<hr width=\"40%\" align=\"left\">");
            Lines.emplace_back("<PRE>");
            Lines.push_back(Cat({"<a NAME=\"SOURCE", index, "\">", SJ("調査したHTMLファイル: "), "</a>",
                                 "<a href=\"#MASTER", index, "\">", SJ("↑"), "</a> ",
                                 PreFileLink(page.FileName)}));
        } else {
            Lines.emplace_back();
            Lines.push_back(SJ("調査したHTMLファイル: ") + page.FileName);
        }
        Lines.push_back(SJ("ファイル数:  ") + std::to_string(page.Items.Count()));
        Lines.push_back(SJ("順位   ファイルサイズ        読み込み時間    割合 ファイル名"));
        SortPageItems(page);
        for (int j = 0; j < page.Items.Count(); ++j) {
            const THTMLFileInfo& part = *page.Items[j];
            Lines.push_back(Cat({Field(j + 1, 4), " ", Field(FormatWeight(part.TotalSize), 16), " ",
                                 Field(FormatLoadTime(part.TotalSize), 19), " ",
                                 ShareText(part.TotalSize, page.TotalSize), " ",
                                 HTMLMode ? PreFileLink(part.FileName) : part.FileName}));
        }
        Lines.push_back(Cat({SJ("合計"), " ", Field(FormatWeight(page.TotalSize), 16), " ",
                             Field(FormatLoadTime(page.TotalSize), 19)}));
        if (HTMLMode) Lines.emplace_back("</PRE>");
    }
}

void AddOtherURLLists(Lines_t& Lines) {
    for (THTMLFileInfo* page : FileList) {
        if (page->URLList.empty()) continue;
        Lines.emplace_back();
        Lines.push_back(SJ("リンク数:") + std::to_string(page->URLList.size()));
        Lines.push_back(page->FileName);
        SortPageURLs(*page);
        Lines.insert(Lines.end(), page->URLList.begin(), page->URLList.end());
    }
}

void AddErrorLists(Lines_t& Lines) {
    for (const THTMLFileInfo* page : FileList) {
        if (page->NotFoundList.empty()) continue;
        Lines.emplace_back();
        Lines.push_back(SJ("エラー数:") + std::to_string(page->NotFoundList.size()));
        Lines.push_back(page->FileName);
        Lines.insert(Lines.end(), page->NotFoundList.begin(), page->NotFoundList.end());
    }
}

void BuildTextReport(Lines_t& Lines) {
    platform::TBusyCursor busy;
    Lines.emplace_back(VersionText);
    Lines.emplace_back();
    Lines.push_back(ReportDateTimeText());
    Lines.push_back(SJ("ソート形式 ") + SortTypeCaption());
    Lines.push_back(SJ("回線速度   ") + EnvSettings.BpsCaption);

    if (EnvSettings.ExportUrlList) {
        AddSectionHead(Lines, SJ("入力されたHTMLファイル"));
        if (!InputList.empty()) {
            Lines.push_back(SJ("ファイル数:") + std::to_string(InputList.size()));
            Lines.insert(Lines.end(), InputList.begin(), InputList.end());
        } else {
            Lines.push_back(NoneText());
        }
    }
    if (EnvSettings.ExportHtmlList) {
        AddSectionHead(Lines, SJ("チェックしたHTMLファイル"));
        if (FileList.Count() > 0) {
            Lines.push_back(SJ("ファイル数:") + std::to_string(FileList.Count()));
            AddCheckedFileTable(Lines, false);
        } else {
            Lines.push_back(NoneText());
        }
    }
    if (EnvSettings.ExportHtmlRes) {
        AddSectionHead(Lines, SJ("HTMLリソース"));
        if (FileList.Count() > 0)
            AddResourceTables(Lines, false);
        else
            Lines.push_back(NoneText());
    }
    if (EnvSettings.ExportOtherUrl) {
        AddSectionHead(Lines, SJ("他のURLへのリンク"));
        if (AnyURLs())
            AddOtherURLLists(Lines);
        else
            Lines.push_back(NoneText());
    }
    if (EnvSettings.ExportError) {
        AddSectionHead(Lines, SJ("エラー"));
        if (AnyNotFound())
            AddErrorLists(Lines);
        else
            Lines.push_back(NoneText());
    }
    Lines.emplace_back(kSeparator);
    Lines.push_back(ClosingLine());
}

bool SaveTextReport(const std::string& FileName) {
    platform::TBusyCursor busy;
    Lines_t lines;
    BuildTextReport(lines);
    WriteReportFile(FileName, lines);
    return true;
}

bool CopyTextReport() {
    platform::TBusyCursor busy;
    Lines_t lines;
    BuildTextReport(lines);
    return platform::SetClipboardText(JoinReportLines(lines));
}

namespace {

void AddHtmlSectionHead(Lines_t& Lines, const std::string& title) {
    Lines.emplace_back("<hr>");
    Lines.emplace_back("<br>");
    Lines.push_back(title + "<br>");
}

std::string NoneLineHtml() { return NoneText() + "<br>"; }

std::string Td(std::string_view text) { return Cat({"<td>", text, "</td>"}); }

void AddHtmlCheckedTable(Lines_t& Lines) {
    Lines.emplace_back("<table border=1>");
    Lines.emplace_back("<tr>");
    for (const std::string& head : {SJ("順位"), SJ("ファイルサイズ"), SJ("読み込み時間"), SJ("画像数"),
                                    SJ("エラー"), SJ("ファイル名")})
        Lines.push_back(Td(head));
    Lines.emplace_back("</tr>");
    for (int i = 0; i < FileList.Count(); ++i) {
        const THTMLFileInfo& page = *FileList[i];
        const std::string index = std::to_string(i);
        Lines.emplace_back("<tr>");
        Lines.push_back(Td(std::to_string(i + 1)));
        Lines.push_back(Td(FormatWeight(page.TotalSize)));
        Lines.push_back(Td(FormatLoadTime(page.TotalSize)));
        Lines.push_back(Td(std::to_string(page.Items.Count() - 1)));
        Lines.push_back(Td(std::to_string(page.NotFoundList.size())));
        Lines.push_back(Cat({"<td><a href=\"#SOURCE", index, "\">", SJ("↓"), "</a>"}));
        Lines.push_back(Cat({"<a NAME=\"MASTER", index, "\"></a>"}));
        Lines.push_back(HtmlFileLink(page.FileName) + "</a></td>");
        Lines.emplace_back("</tr>");
    }
    Lines.emplace_back("</table>");
}

void AddHtmlResourceTables(Lines_t& Lines) {
    for (int i = 0; i < FileList.Count(); ++i) {
        THTMLFileInfo& page = *FileList[i];
        const std::string index = std::to_string(i);
        Lines.push_back(Cat({"<a NAME=\"SOURCE", index, "\">"}));
        Lines.emplace_back("<br>");
        Lines.push_back(Cat({SJ("ファイル数:"), std::to_string(page.Items.Count()), "<br>"}));
        Lines.emplace_back("</a>");
        Lines.emplace_back("<table border=1>");
        Lines.emplace_back("<tr>");
        Lines.emplace_back("<TD COLSPAN=\"5\">");
        Lines.push_back(Cat({"<a href=\"#MASTER", index, "\">", SJ("↑"), "</a>"}));
        Lines.push_back(HtmlFileLink(page.FileName) + "</a></td>");
        Lines.emplace_back("</tr>");
        Lines.emplace_back("<tr>");
        for (const std::string& head :
             {SJ("順位"), SJ("ファイルサイズ"), SJ("読み込み時間"), SJ("割合"), SJ("ファイル名")})
            Lines.push_back(Td(head));
        Lines.emplace_back("</tr>");
        SortPageItems(page);
        for (int j = 0; j < page.Items.Count(); ++j) {
            const THTMLFileInfo& part = *page.Items[j];
            Lines.emplace_back("<tr>");
            Lines.push_back(Td(std::to_string(j + 1)));
            Lines.push_back(Td(FormatWeight(part.TotalSize)));
            Lines.push_back(Td(FormatLoadTime(part.TotalSize)));
            Lines.push_back(Td(ShareText(part.TotalSize, page.TotalSize)));
            Lines.push_back(Cat({"<td>", HtmlFileLink(part.FileName), "</a></td>"}));
            Lines.emplace_back("</tr>");
        }
        Lines.emplace_back("<tr>");
        Lines.push_back(Td(SJ("合計")));
        Lines.push_back(Td(FormatWeight(page.TotalSize)));
        Lines.push_back(Td(FormatLoadTime(page.TotalSize)));
        Lines.emplace_back("<td>N/A</td>");
        Lines.emplace_back("<td>N/A</td>");
        Lines.emplace_back("</tr>");
        Lines.emplace_back("</table>");
    }
}

// The frame around one page's block of the outside-URL and error sections.
void OpenPageBlock(Lines_t& Lines, bool table, const std::string& fileName) {
    Lines.emplace_back("<br>");
    if (table) {
        Lines.emplace_back("<table border=1>");
        Lines.emplace_back("<tr>");
        Lines.emplace_back("<td>");
    } else {
        Lines.emplace_back("<hr width=\"40%\" align=\"left\">");
    }
    Lines.push_back(SJ("元ファイル<br>"));
    Lines.push_back(HtmlFileLink(fileName) + "</a><br>");
    Lines.emplace_back("<br>");
}

void ClosePageBlock(Lines_t& Lines, bool table) {
    if (!table) return;
    Lines.emplace_back("</td>");
    Lines.emplace_back("</tr>");
    Lines.emplace_back("</table>");
}

}  // namespace

void BuildHTMLReport(Lines_t& Lines) {
    platform::TBusyCursor busy;
    const bool table = EnvSettings.ExportUseTable;
    const std::string title = VersionText;

    Lines.emplace_back("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">");
    Lines.emplace_back("<html>");
    Lines.emplace_back("<head>");
    Lines.emplace_back("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">");
    Lines.push_back(Cat({"<title>", title, SJ(" 測定結果</title>")}));
    Lines.emplace_back("</head>");
    Lines.emplace_back("<body>");
    Lines.push_back(Cat({"<center>", title, SJ(" 測定結果</center>")}));
    Lines.emplace_back("<br>");
    Lines.push_back(ReportDateTimeText() + "<br>");
    Lines.emplace_back("<pre>");
    Lines.push_back(SJ("ソート形式 ") + SortTypeCaption());
    Lines.push_back(SJ("回線速度   ") + EnvSettings.BpsCaption);
    Lines.emplace_back("</pre>");

    if (EnvSettings.ExportUrlList) {
        AddHtmlSectionHead(Lines, SJ("入力されたHTMLファイル"));
        if (InputList.empty()) {
            Lines.push_back(NoneLineHtml());
        } else {
            Lines.emplace_back("<br>");
            Lines.push_back(Cat({SJ("ファイル数:"), std::to_string(InputList.size()), "<BR>"}));
            for (const std::string& input : InputList) Lines.push_back(HtmlFileLink(input) + "</a><br>");
        }
    }
    if (EnvSettings.ExportHtmlList) {
        AddHtmlSectionHead(Lines, SJ("チェックしたHTMLファイル"));
        if (FileList.Count() == 0) {
            Lines.push_back(NoneLineHtml());
        } else {
            Lines.emplace_back("<br>");
            Lines.push_back(Cat({SJ("ファイル数:"), std::to_string(FileList.Count()), "<br>"}));
            if (table) {
                AddHtmlCheckedTable(Lines);
            } else {
                Lines.emplace_back("<PRE>");
                AddCheckedFileTable(Lines, true);
                Lines.emplace_back("</PRE>");
            }
        }
    }
    if (EnvSettings.ExportHtmlRes) {
        AddHtmlSectionHead(Lines, SJ("HTMLリソース"));
        if (FileList.Count() == 0)
            Lines.push_back(NoneLineHtml());
        else if (table)
            AddHtmlResourceTables(Lines);
        else
            AddResourceTables(Lines, true);
    }
    if (EnvSettings.ExportOtherUrl) {
        AddHtmlSectionHead(Lines, SJ("他のURLへのリンク"));
        if (!AnyURLs()) {
            Lines.push_back(NoneLineHtml());
        } else {
            for (THTMLFileInfo* page : FileList) {
                if (page->URLList.empty()) continue;
                OpenPageBlock(Lines, table, page->FileName);
                Lines.push_back(Cat({SJ("リンク先:"), std::to_string(page->URLList.size()), "<br>"}));
                SortPageURLs(*page);
                for (const std::string& url : page->URLList)
                    Lines.push_back(Cat({"<a href=\"", url, "\" TARGET=\"LINK\">", url, "</a><br>"}));
                ClosePageBlock(Lines, table);
            }
        }
    }
    if (EnvSettings.ExportError) {
        AddHtmlSectionHead(Lines, SJ("エラー"));
        if (!AnyNotFound()) {
            Lines.push_back(NoneLineHtml());
        } else {
            for (const THTMLFileInfo* page : FileList) {
                if (page->NotFoundList.empty()) continue;
                OpenPageBlock(Lines, table, page->FileName);
                Lines.push_back(Cat({SJ("エラーリンク:"), std::to_string(page->NotFoundList.size()), "<br>"}));
                for (const std::string& missing : page->NotFoundList) Lines.push_back(missing + "<br>");
                ClosePageBlock(Lines, table);
            }
        }
    }

    Lines.emplace_back("<hr>");
    Lines.push_back(ClosingLine());
    Lines.emplace_back("</body>");
    Lines.emplace_back("</HTML>");
}

bool SaveHTMLReport(const std::string& FileName) {
    platform::TBusyCursor busy;
    Lines_t lines;
    BuildHTMLReport(lines);
    WriteReportFile(FileName, lines);
    return true;
}

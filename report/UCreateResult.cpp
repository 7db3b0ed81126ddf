#include "report/UCreateResult.h"

#include <algorithm>
#include <array>
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
#include "platform/OutputFile.h"
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

// The texts of recent sizes: a report formats the sizes of the same shared
// files once per page that uses them. Direct-mapped; an entry is good for
// the display mode or line speed it was made with.
class TFormatCache {
public:
    template <typename F>
    std::string Get(int64_t size, int64_t mode, F make) {
        TEntry& e = entries_[static_cast<uint64_t>(size) * 0x9E3779B97F4A7C15ull >> (64 - kBits)];
        if (!e.valid || e.size != size || e.mode != mode) {
            e.text = make(size);
            e.size = size;
            e.mode = mode;
            e.valid = true;
        }
        return e.text;
    }

private:
    static constexpr int kBits = 12;
    struct TEntry {
        int64_t size = 0;
        int64_t mode = 0;
        bool valid = false;
        std::string text;
    };
    TEntry entries_[1 << kBits];
};

std::string MakeWeightText(int64_t Size);
std::string MakeLoadTimeText(int64_t Size);

}  // namespace

std::string FormatWeight(int64_t Size) {
    static TFormatCache cache;
    return cache.Get(Size, EnvSettings.FileSizeDisp, MakeWeightText);
}

std::string FormatLoadTime(int64_t Size) {
    static TFormatCache cache;
    return cache.Get(Size, EnvSettings.Bps, MakeLoadTimeText);
}

namespace {

std::string MakeWeightText(int64_t Size) {
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

std::string MakeLoadTimeText(int64_t Size) {
    const int64_t bps = EnvSettings.Bps;
    // A hand-edited settings file can hold any speed; without a positive one
    // there is no time to show, and a division by it would fault.
    if (bps <= 0) return std::string();

    // 128-bit bits: Size * 8 does not fit 64 bits for the largest sizes,
    // and 32 bits (as the sizes once were) wrap from 256 MiB up.
    const __int128 bits = static_cast<__int128>(Size) * 8;
    const int64_t perMinute = bps * 60;
    // Sizes of real files fit 64 bits; 128-bit division is much slower.
    const bool fits = bits >= 0 && bits <= INT64_MAX;
    const auto bits64 = static_cast<int64_t>(bits);
    const auto remainder = fits ? bits64 % perMinute : static_cast<int64_t>(bits % perMinute);
    const auto totalMinutes = fits ? bits64 / perMinute : static_cast<int64_t>(bits / perMinute);
    const int64_t minutes = totalMinutes % 60;
    const int64_t hours = totalMinutes / 60;
    const double seconds = static_cast<double>(remainder) / static_cast<double>(bps);

    std::string secondText = PadLeft(platform::FormatFixed(seconds, 2), 5, '0');
    if (hours != 0) {
        return PadLeft(std::to_string(hours), 2) + SJ("時間") + " " + PadLeft(std::to_string(minutes), 2, '0') +
               SJ("分") + " " + secondText + SJ("秒");
    }
    if (minutes != 0) return PadLeft(std::to_string(minutes), 2) + SJ("分") + " " + secondText + SJ("秒");
    return PadLeft(platform::FormatFixed(seconds, 2), 5) + SJ("秒");
}

}  // namespace

// ---------------------------------------------------------------------------
// Reports

namespace {

// The builders hand every line to a sink as it is made, so that a report
// of a big run need not be held whole; the vector forms collect them.
class TVectorSink : public TReportSink {
public:
    explicit TVectorSink(std::vector<std::string>& lines) : lines_(lines) {}
    void Line(std::string_view line) override { lines_.emplace_back(line); }

private:
    std::vector<std::string>& lines_;
};

// The lines joined, each followed by CR LF, as the report file holds them.
class TJoinSink : public TReportSink {
public:
    void Line(std::string_view line) override {
        text.append(line);
        text += "\r\n";
    }
    std::string text;
};

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
        case SortByImageCount:
            key = SortBySize;
            break;
        case SortByName:
            key = SortByName;
            break;
        default:
            return;
    }
    int selected = -1;
    page.Items.Sort(key, EnvSettings.SortAscending, selected);
}

// Outside URLs ordered by their upper-cased bytes; equal ones keep their order.
void SortPageURLs(THTMLFileInfo& page) {
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(page.URLList.size());
    for (std::string& url : page.URLList) keyed.emplace_back(platform::AnsiUpper(url), std::move(url));
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
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

void AddSectionHead(TReportSink& Lines, const std::string& title) {
    Lines.Line({});
    Lines.Line(kSeparator);
    Lines.Line(title);
}

// A name, address or setting as HTML text or attribute value. A page can
// hold any bytes; none of them may become markup of a report the program
// opens in a browser. The four characters lie below 0x40, where no trail
// byte of a double-byte character does: every one of them is markup, even
// after a lead byte that makes no character with it.
std::string HtmlText(std::string_view s) {
    static constexpr std::string_view kMarkup = "&<>\"";
    if (s.find_first_of(kMarkup) == std::string_view::npos) return std::string(s);
    std::string out;
    out.reserve(s.size() + 16);
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The link of the preformatted tables: H5 + address + H6 + name + H7.
std::string PreFileLink(const std::string& path) {
    return Cat({"<A HREF=\"file:///", HtmlText(FilePathToURL(path)), "\" TARGET=\"LINK\">", HtmlText(path), "</A>"});
}

// The link of the HTML report, without its closing piece.
std::string HtmlFileLink(const std::string& path) {
    return Cat({"<a href=\"file:///", HtmlText(FilePathToURL(path)), "\" TARGET=\"LINK\">", HtmlText(path)});
}

std::string ClosingLine() { return std::string(VersionText) + " by Orvanel"; }

// Hands each line with its CR LF to the file as it is made.
class TFileSink : public TReportSink {
public:
    explicit TFileSink(platform::TOutputFile& file) : file_(file) {}
    void Line(std::string_view line) override { ok_ = ok_ && file_.Write(line) && file_.Write("\r\n"); }
    bool Ok() const { return ok_; }

private:
    platform::TOutputFile& file_;
    bool ok_ = true;
};

// The file is opened before the report is built: a target that is refused
// (write-protected, a folder) costs no report. The report is written as it
// is built, so that of a big run is never held whole, and a regular file
// is still replaced only once it is complete.
platform::TResult WriteReportFile(const std::string& path, void (*build)(TReportSink&)) {
    platform::TOutputFile out;
    if (path.empty() || !out.Open(path)) return platform::TResult::Failure(FileCreateErrorText(path));
    TFileSink sink(out);
    build(sink);
    if (!sink.Ok() || !out.Commit()) return platform::TResult::Failure(FileCreateErrorText(path));
    return platform::TResult::Success();
}

}  // namespace

std::string FileCreateErrorText(const std::string& fileName) {
    return SJ("ﾌｧｲﾙ ") + fileName + SJ(" を作成できません");
}

std::string ReportDateTimeText() {
    platform::TLocalTime t;
    bool fixed = false;
    // A value that is not a moment up to year 9999 is passed over: the
    // window has nobody to tell (the command line refuses it at start).
    if (const char* env = std::getenv("SOURCE_DATE_EPOCH")) {
        if (auto seconds = platform::ParseSourceDateEpoch(env)) {
            if (auto utc = platform::UtcTimeAt(*seconds)) {
                t = *utc;
                fixed = true;
            }
        }
    }
    if (!fixed) t = platform::NowLocal();
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

std::string SortTypeCaption() {
    switch (EnvSettings.SortType) {
        case 0:
            return SJ("サイズ/所要時間でソート");
        case 1:
            return SJ("ファイル名でソート");
        case 2:
            return SJ("IMG ファイル総数でソート");
        default:
            return SJ("ソートしない");
    }
}

std::string JoinReportLines(const std::vector<std::string>& Lines) {
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
    // Looked up per byte: the reports convert every part's path.
    static constexpr auto kEscaped = [] {
        std::array<bool, 256> t{};
        for (char c : std::string_view("% #<>[]^`{|}~\"")) t[static_cast<unsigned char>(c)] = true;
        return t;
    }();
    static constexpr char kHex[] = "0123456789ABCDEF";
    // A lead byte makes a character only with a trail byte (0x40 to 0xFC
    // but 0x7F); before any other byte it stands alone.
    auto isTrail = [](unsigned char t) { return t >= 0x40 && t != 0x7F && t <= 0xFC; };
    std::string out;
    out.reserve(Path.size() + Path.size() / 4);
    // A leading "/" is dropped (it is never escaped nor part of a character).
    for (size_t i = !Path.empty() && Path[0] == '/' ? 1 : 0; i < Path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(Path[i]);
        if (platform::IsSjisLead(c) && i + 1 < Path.size() && isTrail(static_cast<unsigned char>(Path[i + 1]))) {
            out += Path[i];
            out += Path[++i];
        } else if (kEscaped[c]) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void AddCheckedFileTable(TReportSink& Lines, bool HTMLMode) {
    Lines.Line(SJ("順位   ファイルサイズ        読み込み時間  画像数  エラー ファイル名"));
    for (int i = 0; i < FileList.Count(); ++i) {
        PrefetchAhead(FileList, i, false);
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
        Lines.Line(std::move(line));
    }
}

void AddResourceTables(TReportSink& Lines, bool HTMLMode) {
    for (int i = 0; i < FileList.Count(); ++i) {
        PrefetchAhead(FileList, i, true);
        THTMLFileInfo& page = *FileList[i];
        const std::string index = std::to_string(i);
        if (HTMLMode) {
            Lines.Line("<BR>");
            Lines.Line("<hr width=\"40%\" align=\"left\">");
            Lines.Line("<PRE>");
            Lines.Line(Cat({"<a NAME=\"SOURCE", index, "\">", SJ("調査したHTMLファイル: "), "</a>", "<a href=\"#MASTER",
                            index, "\">", SJ("↑"), "</a> ", PreFileLink(page.FileName)}));
        } else {
            Lines.Line({});
            Lines.Line(SJ("調査したHTMLファイル: ") + page.FileName);
        }
        Lines.Line(SJ("ファイル数:  ") + std::to_string(page.Items.Count()));
        Lines.Line(SJ("順位   ファイルサイズ        読み込み時間    割合 ファイル名"));
        SortPageItems(page);
        for (int j = 0; j < page.Items.Count(); ++j) {
            const THTMLFileInfo& part = *page.Items[j];
            Lines.Line(Cat({Field(j + 1, 4), " ", Field(FormatWeight(part.TotalSize), 16), " ",
                            Field(FormatLoadTime(part.TotalSize), 19), " ", ShareText(part.TotalSize, page.TotalSize),
                            " ", HTMLMode ? PreFileLink(part.FileName) : part.FileName}));
        }
        Lines.Line(Cat({SJ("合計"), " ", Field(FormatWeight(page.TotalSize), 16), " ",
                        Field(FormatLoadTime(page.TotalSize), 19)}));
        if (HTMLMode) Lines.Line("</PRE>");
    }
}

void AddOtherURLLists(TReportSink& Lines) {
    for (int i = 0; i < FileList.Count(); ++i) {
        PrefetchAhead(FileList, i, false);
        THTMLFileInfo* page = FileList[i];
        if (page->URLList.empty()) continue;
        Lines.Line({});
        Lines.Line(SJ("リンク数:") + std::to_string(page->URLList.size()));
        Lines.Line(page->FileName);
        SortPageURLs(*page);
        for (const std::string& url : page->URLList) Lines.Line(url);
    }
}

void AddErrorLists(TReportSink& Lines) {
    for (int i = 0; i < FileList.Count(); ++i) {
        PrefetchAhead(FileList, i, false);
        const THTMLFileInfo* page = FileList[i];
        if (page->NotFoundList.empty()) continue;
        Lines.Line({});
        Lines.Line(SJ("エラー数:") + std::to_string(page->NotFoundList.size()));
        Lines.Line(page->FileName);
        for (const std::string& missing : page->NotFoundList) Lines.Line(missing);
    }
}

void BuildTextReport(TReportSink& Lines) {
    platform::TBusyCursor busy;
    Lines.Line(VersionText);
    Lines.Line({});
    Lines.Line(ReportDateTimeText());
    Lines.Line(SJ("ソート形式 ") + SortTypeCaption());
    Lines.Line(SJ("回線速度   ") + EnvSettings.BpsCaption);

    if (EnvSettings.ExportUrlList) {
        AddSectionHead(Lines, SJ("入力されたHTMLファイル"));
        if (!InputList.empty()) {
            Lines.Line(SJ("ファイル数:") + std::to_string(InputList.size()));
            for (const std::string& input : InputList) Lines.Line(input);
        } else {
            Lines.Line(NoneText());
        }
    }
    if (EnvSettings.ExportHtmlList) {
        AddSectionHead(Lines, SJ("チェックしたHTMLファイル"));
        if (FileList.Count() > 0) {
            Lines.Line(SJ("ファイル数:") + std::to_string(FileList.Count()));
            AddCheckedFileTable(Lines, false);
        } else {
            Lines.Line(NoneText());
        }
    }
    if (EnvSettings.ExportHtmlRes) {
        AddSectionHead(Lines, SJ("HTMLリソース"));
        if (FileList.Count() > 0) AddResourceTables(Lines, false);
        else Lines.Line(NoneText());
    }
    if (EnvSettings.ExportOtherUrl) {
        AddSectionHead(Lines, SJ("他のURLへのリンク"));
        if (AnyURLs()) AddOtherURLLists(Lines);
        else Lines.Line(NoneText());
    }
    if (EnvSettings.ExportError) {
        AddSectionHead(Lines, SJ("エラー"));
        if (AnyNotFound()) AddErrorLists(Lines);
        else Lines.Line(NoneText());
    }
    Lines.Line(kSeparator);
    Lines.Line(ClosingLine());
}

void BuildTextReport(std::vector<std::string>& Lines) {
    TVectorSink sink(Lines);
    BuildTextReport(sink);
}

platform::TResult SaveTextReport(const std::string& FileName) {
    platform::TBusyCursor busy;
    return WriteReportFile(FileName, BuildTextReport);
}

bool CopyTextReport() {
    platform::TBusyCursor busy;
    TJoinSink joined;
    BuildTextReport(joined);
    return platform::SetClipboardText(joined.text);
}

namespace {

void AddHtmlSectionHead(TReportSink& Lines, const std::string& title) {
    Lines.Line("<hr>");
    Lines.Line("<br>");
    Lines.Line(title + "<br>");
}

std::string NoneLineHtml() { return NoneText() + "<br>"; }

std::string Td(std::string_view text) { return Cat({"<td>", text, "</td>"}); }

void AddHtmlCheckedTable(TReportSink& Lines) {
    Lines.Line("<table border=1>");
    Lines.Line("<tr>");
    for (const std::string& head :
         {SJ("順位"), SJ("ファイルサイズ"), SJ("読み込み時間"), SJ("画像数"), SJ("エラー"), SJ("ファイル名")})
        Lines.Line(Td(head));
    Lines.Line("</tr>");
    for (int i = 0; i < FileList.Count(); ++i) {
        PrefetchAhead(FileList, i, false);
        const THTMLFileInfo& page = *FileList[i];
        const std::string index = std::to_string(i);
        Lines.Line("<tr>");
        Lines.Line(Td(std::to_string(i + 1)));
        Lines.Line(Td(FormatWeight(page.TotalSize)));
        Lines.Line(Td(FormatLoadTime(page.TotalSize)));
        Lines.Line(Td(std::to_string(page.Items.Count() - 1)));
        Lines.Line(Td(std::to_string(page.NotFoundList.size())));
        Lines.Line(Cat({"<td><a href=\"#SOURCE", index, "\">", SJ("↓"), "</a>"}));
        Lines.Line(Cat({"<a NAME=\"MASTER", index, "\"></a>"}));
        Lines.Line(HtmlFileLink(page.FileName) + "</a></td>");
        Lines.Line("</tr>");
    }
    Lines.Line("</table>");
}

void AddHtmlResourceTables(TReportSink& Lines) {
    for (int i = 0; i < FileList.Count(); ++i) {
        PrefetchAhead(FileList, i, true);
        THTMLFileInfo& page = *FileList[i];
        const std::string index = std::to_string(i);
        Lines.Line(Cat({"<a NAME=\"SOURCE", index, "\">"}));
        Lines.Line("<br>");
        Lines.Line(Cat({SJ("ファイル数:"), std::to_string(page.Items.Count()), "<br>"}));
        Lines.Line("</a>");
        Lines.Line("<table border=1>");
        Lines.Line("<tr>");
        Lines.Line("<TD COLSPAN=\"5\">");
        Lines.Line(Cat({"<a href=\"#MASTER", index, "\">", SJ("↑"), "</a>"}));
        Lines.Line(HtmlFileLink(page.FileName) + "</a></td>");
        Lines.Line("</tr>");
        Lines.Line("<tr>");
        for (const std::string& head :
             {SJ("順位"), SJ("ファイルサイズ"), SJ("読み込み時間"), SJ("割合"), SJ("ファイル名")})
            Lines.Line(Td(head));
        Lines.Line("</tr>");
        SortPageItems(page);
        for (int j = 0; j < page.Items.Count(); ++j) {
            const THTMLFileInfo& part = *page.Items[j];
            Lines.Line("<tr>");
            Lines.Line(Td(std::to_string(j + 1)));
            Lines.Line(Td(FormatWeight(part.TotalSize)));
            Lines.Line(Td(FormatLoadTime(part.TotalSize)));
            Lines.Line(Td(ShareText(part.TotalSize, page.TotalSize)));
            Lines.Line(Cat({"<td>", HtmlFileLink(part.FileName), "</a></td>"}));
            Lines.Line("</tr>");
        }
        Lines.Line("<tr>");
        Lines.Line(Td(SJ("合計")));
        Lines.Line(Td(FormatWeight(page.TotalSize)));
        Lines.Line(Td(FormatLoadTime(page.TotalSize)));
        Lines.Line("<td>N/A</td>");
        Lines.Line("<td>N/A</td>");
        Lines.Line("</tr>");
        Lines.Line("</table>");
    }
}

// The frame around one page's block of the outside-URL and error sections.
void OpenPageBlock(TReportSink& Lines, bool table, const std::string& fileName) {
    Lines.Line("<br>");
    if (table) {
        Lines.Line("<table border=1>");
        Lines.Line("<tr>");
        Lines.Line("<td>");
    } else {
        Lines.Line("<hr width=\"40%\" align=\"left\">");
    }
    Lines.Line(SJ("元ファイル<br>"));
    Lines.Line(HtmlFileLink(fileName) + "</a><br>");
    Lines.Line("<br>");
}

void ClosePageBlock(TReportSink& Lines, bool table) {
    if (!table) return;
    Lines.Line("</td>");
    Lines.Line("</tr>");
    Lines.Line("</table>");
}

}  // namespace

void BuildHTMLReport(TReportSink& Lines) {
    platform::TBusyCursor busy;
    const bool table = EnvSettings.ExportUseTable;
    const std::string title = HtmlText(VersionText);

    Lines.Line("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">");
    Lines.Line("<html>");
    Lines.Line("<head>");
    Lines.Line("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">");
    Lines.Line(Cat({"<title>", title, SJ(" 測定結果</title>")}));
    Lines.Line("</head>");
    Lines.Line("<body>");
    Lines.Line(Cat({"<center>", title, SJ(" 測定結果</center>")}));
    Lines.Line("<br>");
    Lines.Line(ReportDateTimeText() + "<br>");
    Lines.Line("<pre>");
    Lines.Line(SJ("ソート形式 ") + SortTypeCaption());
    Lines.Line(SJ("回線速度   ") + HtmlText(EnvSettings.BpsCaption));
    Lines.Line("</pre>");

    if (EnvSettings.ExportUrlList) {
        AddHtmlSectionHead(Lines, SJ("入力されたHTMLファイル"));
        if (InputList.empty()) {
            Lines.Line(NoneLineHtml());
        } else {
            Lines.Line("<br>");
            Lines.Line(Cat({SJ("ファイル数:"), std::to_string(InputList.size()), "<BR>"}));
            for (const std::string& input : InputList) Lines.Line(HtmlFileLink(input) + "</a><br>");
        }
    }
    if (EnvSettings.ExportHtmlList) {
        AddHtmlSectionHead(Lines, SJ("チェックしたHTMLファイル"));
        if (FileList.Count() == 0) {
            Lines.Line(NoneLineHtml());
        } else {
            Lines.Line("<br>");
            Lines.Line(Cat({SJ("ファイル数:"), std::to_string(FileList.Count()), "<br>"}));
            if (table) {
                AddHtmlCheckedTable(Lines);
            } else {
                Lines.Line("<PRE>");
                AddCheckedFileTable(Lines, true);
                Lines.Line("</PRE>");
            }
        }
    }
    if (EnvSettings.ExportHtmlRes) {
        AddHtmlSectionHead(Lines, SJ("HTMLリソース"));
        if (FileList.Count() == 0) Lines.Line(NoneLineHtml());
        else if (table) AddHtmlResourceTables(Lines);
        else AddResourceTables(Lines, true);
    }
    if (EnvSettings.ExportOtherUrl) {
        AddHtmlSectionHead(Lines, SJ("他のURLへのリンク"));
        if (!AnyURLs()) {
            Lines.Line(NoneLineHtml());
        } else {
            for (int i = 0; i < FileList.Count(); ++i) {
                PrefetchAhead(FileList, i, false);
                THTMLFileInfo* page = FileList[i];
                if (page->URLList.empty()) continue;
                OpenPageBlock(Lines, table, page->FileName);
                Lines.Line(Cat({SJ("リンク先:"), std::to_string(page->URLList.size()), "<br>"}));
                SortPageURLs(*page);
                for (const std::string& url : page->URLList) {
                    const std::string text = HtmlText(url);
                    Lines.Line(Cat({"<a href=\"", text, "\" TARGET=\"LINK\">", text, "</a><br>"}));
                }
                ClosePageBlock(Lines, table);
            }
        }
    }
    if (EnvSettings.ExportError) {
        AddHtmlSectionHead(Lines, SJ("エラー"));
        if (!AnyNotFound()) {
            Lines.Line(NoneLineHtml());
        } else {
            for (int i = 0; i < FileList.Count(); ++i) {
                PrefetchAhead(FileList, i, false);
                const THTMLFileInfo* page = FileList[i];
                if (page->NotFoundList.empty()) continue;
                OpenPageBlock(Lines, table, page->FileName);
                Lines.Line(Cat({SJ("エラーリンク:"), std::to_string(page->NotFoundList.size()), "<br>"}));
                for (const std::string& missing : page->NotFoundList) Lines.Line(HtmlText(missing) + "<br>");
                ClosePageBlock(Lines, table);
            }
        }
    }

    Lines.Line("<hr>");
    Lines.Line(ClosingLine());
    Lines.Line("</body>");
    Lines.Line("</HTML>");
}

void BuildHTMLReport(std::vector<std::string>& Lines) {
    TVectorSink sink(Lines);
    BuildHTMLReport(sink);
}

platform::TResult SaveHTMLReport(const std::string& FileName) {
    platform::TBusyCursor busy;
    return WriteReportFile(FileName, BuildHTMLReport);
}

void AddCheckedFileTable(std::vector<std::string>& Lines, bool HTMLMode) {
    TVectorSink sink(Lines);
    AddCheckedFileTable(sink, HTMLMode);
}

void AddResourceTables(std::vector<std::string>& Lines, bool HTMLMode) {
    TVectorSink sink(Lines);
    AddResourceTables(sink, HTMLMode);
}

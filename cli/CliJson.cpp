#include "cli/CliJson.h"

#include <charconv>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "engine/UNameSet.h"
#include "platform/Encoding.h"
#include "report/UCreateResult.h"
#include "settings/Uenviron.h"

namespace {

// Writes the document as it goes, in the layout of a JSON pretty-printer
// with an indent of two blanks: "{" or "[" ends its line, members one per
// line with ", " after every one but the last, an empty object or array
// as "{}" or "[]". Pieces are gathered and handed on in blocks.
class TJsonWriter {
public:
    explicit TJsonWriter(TJsonSink& sink) : sink_(sink) {}
    ~TJsonWriter() { Flush(); }
    TJsonWriter(const TJsonWriter&) = delete;
    TJsonWriter& operator=(const TJsonWriter&) = delete;

    void BeginObject(const char* key = nullptr) { Open(key, '{'); }
    void EndObject() { Close('}'); }
    void BeginArray(const char* key = nullptr) { Open(key, '['); }
    void EndArray() { Close(']'); }

    void String(const char* key, std::string_view utf8) {
        Member(key);
        Quoted(utf8);
    }
    // CP932 text, written as UTF-8.
    void Text(const char* key, std::string_view cp932) {
        Member(key);
        Quoted(IsPlainAscii(cp932) ? cp932 : std::string_view(utf8_ = platform::Cp932ToUtf8(cp932)));
    }
    void TextOrNull(const char* key, std::string_view cp932, bool null) {
        if (null) Null(key);
        else Text(key, cp932);
    }
    void Number(const char* key, int64_t n) {
        Member(key);
        char buf[24];
        const auto r = std::to_chars(buf, buf + sizeof buf, n);
        out_.append(buf, static_cast<size_t>(r.ptr - buf));
    }
    void Bool(const char* key, bool b) {
        Member(key);
        out_ += b ? "true" : "false";
    }
    void Null(const char* key) {
        Member(key);
        out_ += "null";
    }
    void TextList(const char* key, const std::vector<std::string>& list) {
        BeginArray(key);
        for (const std::string& s : list) Text(nullptr, s);
        EndArray();
    }
    // The document's last byte: a line end after the closing brace.
    void End() {
        out_ += '\n';
        Flush();
    }

private:
    static bool IsPlainAscii(std::string_view s) {
        for (char c : s)
            if (static_cast<unsigned char>(c) >= 0x80) return false;
        return true;
    }
    // Before a value: the separator from the previous member, the line
    // break and indent, and the key.
    void Member(const char* key) {
        if (!levels_.empty()) {
            if (levels_.back()) out_ += ',';
            levels_.back() = true;
            out_ += '\n';
            out_.append(2 * levels_.size(), ' ');
        }
        if (key) {
            out_ += '"';
            out_ += key;
            out_ += "\": ";
        }
    }
    void Open(const char* key, char bracket) {
        Member(key);
        out_ += bracket;
        levels_.push_back(false);
    }
    void Close(char bracket) {
        const bool any = levels_.back();
        levels_.pop_back();
        if (any) {
            out_ += '\n';
            out_.append(2 * levels_.size(), ' ');
        }
        out_ += bracket;
        if (out_.size() >= kBlock) Flush();
    }
    // Escapes as the pretty-printer does with non-ASCII kept as UTF-8: the
    // quote, the backslash and control characters; U+007F stays as it is.
    void Quoted(std::string_view s) {
        out_ += '"';
        size_t from = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c >= 0x20 && c != '"' && c != '\\') continue;
            out_.append(s.substr(from, i - from));
            from = i + 1;
            switch (c) {
                case '"':
                    out_ += "\\\"";
                    break;
                case '\\':
                    out_ += "\\\\";
                    break;
                case '\b':
                    out_ += "\\b";
                    break;
                case '\f':
                    out_ += "\\f";
                    break;
                case '\n':
                    out_ += "\\n";
                    break;
                case '\r':
                    out_ += "\\r";
                    break;
                case '\t':
                    out_ += "\\t";
                    break;
                default: {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out_ += buf;
                }
            }
        }
        out_.append(s.substr(from));
        out_ += '"';
    }
    void Flush() {
        if (out_.empty()) return;
        sink_.Write(out_);
        out_.clear();
    }

    static constexpr size_t kBlock = 1 << 16;
    TJsonSink& sink_;
    std::string out_;
    std::string utf8_;
    std::vector<bool> levels_;  // per open object or array: a member written
};

// The packed DOS stamp as local "YYYY-MM-DDTHH:MM:SS", null when unknown.
void DosStamp(TJsonWriter& w, const char* key, uint32_t stamp) {
    if (stamp == 0) return w.Null(key);
    const unsigned date = stamp >> 16, time = stamp & 0xFFFF;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u", (date >> 9) + 1980, (date >> 5) & 15, date & 31,
                  time >> 11, (time >> 5) & 63, (time & 31) * 2);
    w.String(key, buf);
}

void Settings(TJsonWriter& w) {
    const TEnvSettings& e = EnvSettings;
    w.BeginObject("settings");
    w.Number("bps", e.Bps);
    w.Text("bpsCaption", e.BpsCaption);
    w.Number("fileSizeDisp", e.FileSizeDisp);
    w.Number("sortType", e.SortType);
    w.Bool("sortAscending", e.SortAscending);
    w.Bool("linkEnabled", e.LinkEnabled);
    w.Bool("followOtherFolders", e.FollowOtherFolders);
    w.String("documentEncoding", DocEncodingName(e.DocumentEncoding));
    w.TextList("htmlExtensions", e.HtmlExtensions);
    w.Bool("hrefSkipEnabled", e.HrefSkipEnabled);
    w.TextList("hrefSkipPrefixes", e.HrefSkipPrefixes);
    w.Bool("imgSkipEnabled", e.ImgSkipEnabled);
    w.TextList("imgSkipPrefixes", e.ImgSkipPrefixes);
    w.Bool("aliasEnabled", e.AliasEnabled);
    w.TextList("aliases", e.Aliases);
    w.Bool("errorLogLimit", e.ErrorLogLimit);
    w.Number("errorLogMax", e.ErrorLogMax);
    w.Bool("modern", e.Modern);
    w.EndObject();
}

class TStringJsonSink : public TJsonSink {
public:
    void Write(std::string_view bytes) override { text.append(bytes); }
    std::string text;
};

}  // namespace

void WriteResultJson(const TRunSummary& summary, TJsonSink& sink) {
    TJsonWriter w(sink);
    w.BeginObject();
    w.String("program", VersionText);
    Settings(w);
    w.TextList("inputs", InputList);

    // Page name -> index of its count; a flat set, as a big site's pages
    // and problems lie all over memory.
    TNameSet problemPages;
    std::vector<int> problemCounts;
    problemPages.Reserve(static_cast<size_t>(ErrorLog.Count()));
    const std::string* lastName = nullptr;  // a page's problems mostly come together
    size_t last = 0;
    for (const THTMLFileInfo* r : ErrorLog) {
        if (!lastName || *lastName != r->FileName) {
            last = problemPages.Find(r->FileName);
            if (last == TNameSet::npos) {
                last = problemCounts.size();
                problemPages.Insert(r->FileName, last);
                problemCounts.push_back(0);
            }
            lastName = &r->FileName;
        }
        ++problemCounts[last];
    }

    w.BeginArray("pages");
    for (int i = 0; i < FileList.Count(); ++i) {
        PrefetchAhead(FileList, i, true);
        const THTMLFileInfo* p = FileList[i];
        w.BeginObject();
        w.Text("path", p->FileName);
        w.Text("title", p->Title);
        w.String("encoding", DocEncodingName(p->KanjiCode));
        w.Number("htmlSize", p->HTMLSize);
        w.Number("weight", p->TotalSize);
        w.Text("weightText", FormatWeight(p->TotalSize));
        w.Text("loadTime", FormatLoadTime(p->TotalSize));
        DosStamp(w, "date", p->FileDate);
        w.Number("resourceCount", p->Items.Count() > 0 ? p->Items.Count() - 1 : 0);
        const size_t found = problemPages.Find(p->FileName);
        w.Number("problemCount", found == TNameSet::npos ? 0 : problemCounts[found]);
        w.BeginArray("parts");
        for (const THTMLFileInfo* part : p->Items) {
            w.BeginObject();
            w.Text("path", part->FileName);
            w.Number("size", part->TotalSize);
            w.Bool("isHTML", part->IsHTML);
            w.String("kind", PartKindName(part->Kind));
            w.EndObject();
        }
        w.EndArray();
        w.TextList("notFound", p->NotFoundList);
        w.TextList("urls", p->URLList);
        w.EndObject();
    }
    w.EndArray();

    w.BeginArray("problems");
    for (int i = 0; i < ErrorLog.Count(); ++i) {
        const THTMLFileInfo* r = ErrorLog[i];
        w.BeginObject();
        w.Text("message", r->Message);
        w.TextOrNull("page", r->FileName, r->FileName.empty());
        w.Text("target", r->LinkName);
        w.EndObject();
    }
    w.EndArray();
    w.BeginObject("problemLines");
    w.Number("count", summary.warningCount);
    w.Bool("stopped", summary.warningsStopped);
    w.EndObject();
    w.Bool("interrupted", summary.interrupted);
    w.TextOrNull("error", summary.error, summary.error.empty());
    w.EndObject();
    w.End();
}

std::string BuildResultJson(const TRunSummary& summary) {
    TStringJsonSink sink;
    WriteResultJson(summary, sink);
    return std::move(sink.text);
}

// Throughput of the tag scanner and the encoding converters over a large
// generated page that looks like a real one: Japanese text, many tags with
// attributes, links, images, comments and tables.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "engine/YKHTMLTagDecode.h"
#include "engine/YKKanjiLib.h"

namespace {

constexpr size_t kPageBytes = 50u * 1024 * 1024;

// Shift-JIS text: hiragana, kanji, full-width punctuation, some ASCII.
std::string JapaneseRun(std::mt19937& rng, int chars) {
    static const char* const words[] = {
        "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD",          // こんにちは
        "\x93\xFA\x96\x7B\x8C\xEA",                          // 日本語
        "\x8D\x58\x90\x56\x97\x9A\x97\xF0",                  // 更新履歴
        "\x83\x7A\x81\x5B\x83\x80\x83\x79\x81\x5B\x83\x57",  // ホームページ
        "\x95\x5C\x8E\xA6",                                  // 表示 (trail byte 0x5C)
        "\x81\x41",
        "\x81\x42",  // 、。
        " HTML ",
        " 1998",
        "\x83\x5C\x83\x74\x83\x67",  // ソフト
    };
    std::string s;
    std::uniform_int_distribution<int> pick(0, std::size(words) - 1);
    while (static_cast<int>(s.size()) < chars) s += words[pick(rng)];
    return s;
}

std::string MakePage() {
    std::mt19937 rng(1998);
    std::uniform_int_distribution<int> kind(0, 15), len(20, 200), num(1, 999);
    std::string page;
    page.reserve(kPageBytes + 4096);
    page +=
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\r\n<HTML>\r\n<HEAD>\r\n"
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">\r\n"
        "<TITLE>\x93\xFA\x96\x7B\x8C\xEA</TITLE>\r\n</HEAD>\r\n"
        "<BODY BACKGROUND=\"img/back.gif\" BGCOLOR=\"#FFFFFF\" TEXT=\"#000000\" LINK=\"#0000FF\">\r\n";
    while (page.size() < kPageBytes) {
        const std::string n = std::to_string(num(rng));
        switch (kind(rng)) {
            case 0:
            case 1:
            case 2:
                page += "<P>" + JapaneseRun(rng, len(rng)) + "</P>\r\n";
                break;
            case 3:
            case 4:
                page += "<A HREF=\"page" + n + ".htm\">" + JapaneseRun(rng, 20) + "</A>\r\n";
                break;
            case 5:
                page += "<a href='http://www.example.co.jp/~user/dir/file" + n + ".html#top' target=_blank>link</a>";
                break;
            case 6:
                page += "<IMG SRC=\"img/photo" + n + ".jpg\" WIDTH=320 HEIGHT=240 BORDER=0 ALT=\"" +
                        JapaneseRun(rng, 10) + "\">\r\n";
                break;
            case 7:
                page += "<!-- " + JapaneseRun(rng, 30) + " -->\r\n";
                break;
            case 8:
                page += "<TABLE BORDER=1 CELLPADDING=2><TR><TD ALIGN=center VALIGN=top>" + JapaneseRun(rng, 16) +
                        "</TD><TD>" + n + "</TD></TR></TABLE>\r\n";
                break;
            case 9:
                page += "<FONT SIZE=\"+1\" COLOR=\"#FF0000\"><B>" + JapaneseRun(rng, 12) + "</B></FONT><BR>\r\n";
                break;
            case 10:
                page += "<EMBED SRC=\"midi/song" + n + ".mid\" AUTOSTART=true HIDDEN=true>\r\n";
                break;
            case 11:
                page += "<AREA SHAPE=rect COORDS=\"0,0," + n + ",20\" HREF=\"area" + n + ".htm\">\r\n";
                break;
            case 12:
                page += "<H2>" + JapaneseRun(rng, 24) + "</H2>\r\n<HR SIZE=1 NOSHADE>\r\n";
                break;
            case 13:
                page += "Plain text with &amp; entities &copy; and numbers " + n + " a < b.\r\n";
                break;
            default:
                page += "<LI><A HREF=\"diary/19980" + n + ".html\">" + JapaneseRun(rng, 18) + "</A>\r\n";
                break;
        }
    }
    page += "</BODY>\r\n</HTML>\r\n";
    return page;
}

const std::string& Page() {
    static const std::string page = MakePage();
    return page;
}

// The measurement's loop, lists absent.
void BM_ScanPage(benchmark::State& state) {
    const std::string& page = Page();
    const bool stop = false;
    int64_t tokens = 0, links = 0;
    for (auto _ : state) {
        TTagScanBuffer buf{page.data(), 0, static_cast<int64_t>(page.size())};
        THTMLLinkResult r;
        InitLinkResult(r);
        tokens = links = 0;
        while (buf.Pos < buf.Len && !stop) {
            GetHTMLTag(buf, r, LinkTagTable, LinkTagCount, stop);
            ++tokens;
            if (r.LinkType != 0 && !r.Value1.empty()) ++links;
            benchmark::DoNotOptimize(r.TokenText.data());
        }
        benchmark::DoNotOptimize(r.LineNo);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
    state.counters["tokens"] = static_cast<double>(tokens);
    state.counters["links"] = static_cast<double>(links);
}
BENCHMARK(BM_ScanPage)->Unit(benchmark::kMillisecond);

// The same with the attribute lists asked for.
void BM_ScanPageWithLists(benchmark::State& state) {
    const std::string& page = Page();
    const bool stop = false;
    for (auto _ : state) {
        TTagScanBuffer buf{page.data(), 0, static_cast<int64_t>(page.size())};
        THTMLLinkResult r;
        InitLinkResult(r);
        r.AttrNames.emplace();
        r.AttrValues.emplace();
        while (buf.Pos < buf.Len) {
            GetHTMLTag(buf, r, LinkTagTable, LinkTagCount, stop);
            benchmark::DoNotOptimize(r.TokenText.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_ScanPageWithLists)->Unit(benchmark::kMillisecond);

// Page text in each source encoding. The EUC page is a byte-level image of
// the Shift-JIS one: every double-byte character mapped to its EUC pair.
std::string ToEuc(const std::string& sjis) {
    std::string out;
    out.reserve(sjis.size());
    for (size_t i = 0; i < sjis.size(); ++i) {
        unsigned c1 = static_cast<unsigned char>(sjis[i]);
        if (((c1 >= 0x81 && c1 <= 0x9F) || (c1 >= 0xE0 && c1 <= 0xEF)) && i + 1 < sjis.size()) {
            unsigned c2 = static_cast<unsigned char>(sjis[++i]);
            // Shift-JIS -> JIS row/cell, then the EUC high bit.
            unsigned row = ((c1 - (c1 <= 0x9F ? 0x70 : 0xB0)) << 1) - 1;
            unsigned cell = c2 - (c2 >= 0x80 ? 0x20 : 0x1F);
            if (c2 >= 0x9F) {
                ++row;
                cell = c2 - 0x7E;
            }
            out += static_cast<char>(row | 0x80);
            out += static_cast<char>(cell | 0x80);
        } else {
            out += static_cast<char>(c1);
        }
    }
    return out;
}

std::string ToJis(const std::string& euc) {
    std::string out;
    out.reserve(euc.size() * 2);
    bool kanji = false;
    for (size_t i = 0; i < euc.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(euc[i]);
        if (c >= 0xA1 && i + 1 < euc.size()) {
            if (!kanji) out += "\x1B$B";
            kanji = true;
            out += static_cast<char>(c & 0x7F);
            out += static_cast<char>(euc[++i] & 0x7F);
        } else {
            if (kanji) out += "\x1B(B";
            kanji = false;
            out += static_cast<char>(c);
        }
    }
    return out;
}

void BM_EucToSjis(benchmark::State& state) {
    static const std::string euc = ToEuc(Page());
    // The round trip proves the generated page is what it claims to be.
    if (EUCToSJIS(euc) != Page()) state.SkipWithError("EUC page does not convert back");
    for (auto _ : state) {
        std::string out = EUCToSJIS(euc);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(euc.size()));
}
BENCHMARK(BM_EucToSjis)->Unit(benchmark::kMillisecond);

void BM_JisToSjis(benchmark::State& state) {
    static const std::string jis = ToJis(ToEuc(Page()));
    if (JISToSJIS(jis) != Page()) state.SkipWithError("JIS page does not convert back");
    for (auto _ : state) {
        std::string out = JISToSJIS(jis);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(jis.size()));
}
BENCHMARK(BM_JisToSjis)->Unit(benchmark::kMillisecond);

void BM_DetectSjisPage(benchmark::State& state) {
    const std::string& page = Page();
    for (auto _ : state) benchmark::DoNotOptimize(DetectKanjiCode(page));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_DetectSjisPage);

}  // namespace

BENCHMARK_MAIN();

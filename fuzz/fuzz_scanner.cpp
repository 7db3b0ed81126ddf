// Scans any bytes as a page, with the attribute lists present and absent,
// and with the stop flag raised after a number of tokens taken from the
// input. Checks the promises the measurement relies on.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/YKHTMLTagDecode.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

struct Tok {
    std::string Text, Value1, Value2;
    uint32_t Link;
    int64_t Pos, ValuePos, ValueLen, LineNo;
};

// Line ends by the scanner's rule over the whole page.
int64_t CountLines(const char* d, int64_t n) {
    int64_t lines = 0;
    for (int64_t i = 0; i < n; ++i) {
        const char c = d[i];
        if (c == '\n' || c == '\v' || (c == '\r' && (i + 1 >= n || d[i + 1] != '\n'))) ++lines;
    }
    return lines;
}

std::vector<Tok> Scan(const char* data, int64_t len, bool lists, int64_t stopAfter) {
    TTagScanBuffer buf{data, 0, len};
    THTMLLinkResult r;
    InitLinkResult(r);
    if (lists) {
        r.AttrNames.emplace();
        r.AttrValues.emplace();
    }
    bool stop = false;
    std::vector<Tok> toks;
    bool stalled = false;
    while (buf.Pos < buf.Len) {
        if (static_cast<int64_t>(toks.size()) == stopAfter) stop = true;
        const int64_t before = buf.Pos;
        const bool xmpContent = r.InXMP;
        GetHTMLTag(buf, r, LinkTagTable, LinkTagCount, stop);
        Check(buf.Pos >= before && buf.Pos <= buf.Len);
        Check(r.TokenText.size() == static_cast<size_t>(buf.Pos - before));
        Check(std::memcmp(r.TokenText.data(), data + before, r.TokenText.size()) == 0);
        Check(r.ValuePos >= 0 && r.ValueLen >= 0 && r.ValuePos + r.ValueLen <= buf.Len);
        if (r.ValueLen > 0) {
            // The last picked value lies inside this token and is one of the two.
            Check(r.ValuePos >= before && r.ValuePos + r.ValueLen <= buf.Pos);
            const std::string v(data + r.ValuePos, static_cast<size_t>(r.ValueLen));
            Check(v == r.Value1 || v == r.Value2);
        }
        Check(r.Value1.size() <= r.TokenText.size() && r.Value2.size() <= r.TokenText.size());
        if (r.LinkType == 0) Check(r.Value1.empty() && r.Value2.empty());
        if (lists) {
            Check(r.AttrNames && r.AttrValues && r.AttrNames->size() == r.AttrValues->size());
        } else {
            Check(!r.AttrNames && !r.AttrValues);
        }
        toks.push_back({r.TokenText, r.Value1, r.Value2, r.LinkType, buf.Pos, r.ValuePos, r.ValueLen, r.LineNo});
        if (stop) break;  // the caller ends its loop on the flag
        if (buf.Pos == before) {
            // Only an empty XMP content is an empty token, and never twice.
            Check(xmpContent && !stalled);
            stalled = true;
        } else {
            stalled = false;
        }
    }
    if (!stop) {
        Check(buf.Pos == buf.Len);
        Check(r.LineNo == 1 + CountLines(data, len));
    }
    return toks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte picks when to raise the stop flag (255: never).
    const int64_t stopAfter = data[0] == 255 ? -1 : data[0] % 32;
    // A copy of exactly the page, so reads past its end are caught.
    const int64_t len = static_cast<int64_t>(size - 1);
    std::vector<char> page(data + 1, data + size);
    const char* p = page.empty() ? nullptr : page.data();

    const auto without = Scan(p, len, false, -1);
    const auto with = Scan(p, len, true, -1);
    Check(without.size() == with.size());
    for (size_t i = 0; i < with.size(); ++i) {
        Check(with[i].Text == without[i].Text && with[i].Value1 == without[i].Value1 &&
              with[i].Value2 == without[i].Value2 && with[i].Link == without[i].Link &&
              with[i].ValuePos == without[i].ValuePos && with[i].LineNo == without[i].LineNo);
    }
    if (stopAfter >= 0) {
        const auto stopped = Scan(p, len, data[0] & 32, stopAfter);
        // Up to the stop, the tokens are the same as in a full scan.
        for (size_t i = 0; i + 1 < stopped.size(); ++i) Check(stopped[i].Text == with[i].Text);
        if (!stopped.empty() && stopped.size() <= with.size()) {
            const size_t last = stopped.size() - 1;
            const std::string& cut = stopped[last].Text;
            const std::string& full = with[last].Text;
            // A stopped token is the full token or a prefix of it.
            Check(cut.size() <= full.size() && full.compare(0, cut.size(), cut) == 0);
        }
    }
    return 0;
}

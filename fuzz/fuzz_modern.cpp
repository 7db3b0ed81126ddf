// The modern reading's readers of untrusted text: the CSS tokenizer, the
// selector matching against a page's elements, the charset sniffing and
// conversion, the srcset choice, media queries and the tag attribute and
// address readers. Any bytes must give results, never a crash, a hang
// or a read past the input.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/UCharsetSniff.h"
#include "engine/UCssMatch.h"
#include "engine/UCssReader.h"
#include "engine/UModernPage.h"
#include "platform/Encoding.h"

namespace {
void Check(bool ok) {
    if (!ok) std::abort();
}

// Every tag as the walk tells it, to set a UTF-8 walk beside the walk of
// the same page in Shift-JIS.
class TRecorder final : public TMarkupVisitor {
public:
    std::string Log;
    void Text(size_t, size_t) override {}
    size_t StartTag(uint16_t, std::string_view name, std::string_view tag, size_t close,
                    const TTagFacts& f) override {
        for (std::string_view v : {name, tag, f.Id, f.Classes, f.Href, f.Src, f.Background, f.Rel}) {
            Log += v;
            Log += '\0';
        }
        Log += f.MaybeStyle ? 'S' : '-';
        Log += f.MaybeSrcset ? 'S' : '-';
        return close;
    }
    void EndTag(std::string_view name) override {
        Log += '/';
        Log += name;
        Log += '\0';
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so a read past the end is caught.
    std::vector<char> buf(data, data + size);
    const std::string_view src(buf.data(), size);

    const TCssSheet sheet = ReadCssSheet(src);
    for (const TCssRef& r : sheet.Refs) Check(!r.Url.empty());

    // The input as a page, checked against the selectors and fonts of the
    // input read as a sheet, and against its first line as a selector list.
    const TPageElements page(src);
    for (const TCssRef& r : sheet.Refs)
        if (!r.Selector.empty()) (void)page.AnyMatches(r.Selector);
    for (const TCssFontUse& u : sheet.FontUses) {
        (void)page.AnyWithTextMatches(u.Selector);
        (void)UsedFaceFamily(u.Families, {"a", "b c"});
    }
    (void)page.AnyMatches(src.substr(0, src.find('\n')));
    (void)page.HasText();

    // Walked as UTF-8 where it stands, the page gives the tags, the answers
    // and the text of its Shift-JIS conversion.
    {
        const std::string sjis = platform::Utf8ToCp932CharRefs(src);
        TPageElements asUtf8(src, true), asSjis(sjis);
        TRecorder u, j;
        asUtf8.Walk(u);
        asSjis.Walk(j);
        Check(u.Log == j.Log);
        Check(asUtf8.HasText() == asSjis.HasText());
        for (const TCssRef& r : sheet.Refs)
            if (!r.Selector.empty()) {
                const std::string sel = platform::Utf8ToCp932CharRefs(r.Selector);
                Check(asUtf8.AnyMatches(sel) == asSjis.AnyMatches(sel));
            }
        const std::string first = platform::Utf8ToCp932CharRefs(src.substr(0, src.find('\n')));
        Check(asUtf8.AnyMatches(first) == asSjis.AnyMatches(first));
        Check(asUtf8.AnyWithTextMatches(first) == asSjis.AnyWithTextMatches(first));
    }

    const int code = SniffPageEncoding(src);
    Check(code >= 0 && code <= 4);
    const int declared = DeclaredPageEncoding(src);
    Check(declared >= -1 && declared <= 4);
    if (code == KanjiCodeUtf8 && declared < 0) Check(IsUtf8WithMultibyte(src));
    const std::string text = PageTextToSjis(src, code);
    // Where every character has a Shift-JIS form the page conversion is the
    // strict one, whatever path each character takes through it.
    if (const auto strict = platform::Utf8ToCp932Strict(src)) Check(platform::Utf8ToCp932CharRefs(src) == *strict);
    (void)DecodeModernText(text);

    // The first line as srcset, the second as sizes, the rest as a tag.
    const size_t nl = src.find('\n');
    const std::string_view set = src.substr(0, nl);
    const std::string_view rest = nl == std::string_view::npos ? std::string_view() : src.substr(nl + 1);
    const size_t nl2 = rest.find('\n');
    const std::string pick = PickSrcset(set, rest.substr(0, nl2), "src");
    (void)MediaMatches(rest.substr(0, nl2));
    Check(pick.size() <= set.size() + 3);

    (void)ParseTagAttributes(src);
    std::string path;
    (void)ModernRefToPath(src, true, path);

    TModernPageState st;
    std::vector<TModernRef> refs;
    int64_t pos = 0;
    TTagFacts facts;
    ReadTagFacts(src, facts);
    Check(facts.Id.empty() || (facts.Id.data() >= src.data() && facts.Id.data() + facts.Id.size() <= src.data() + src.size()));
    const std::string tag = "STYLE";
    ModernTagRefs(tag, src, facts, buf.data(), pos, static_cast<int64_t>(size), st, refs);
    Check(pos >= 0 && pos <= static_cast<int64_t>(size));
    pos = 0;
    ModernTagRefs("IMG", src, facts, buf.data(), pos, static_cast<int64_t>(size), st, refs);
    return 0;
}

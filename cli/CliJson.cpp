#include "cli/CliJson.h"

#include <cstdio>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "platform/Encoding.h"
#include "report/UCreateResult.h"
#include "settings/Uenviron.h"

namespace {

using json = nlohmann::ordered_json;

json Text(const std::string& cp932) { return Cp932ToUtf8(cp932); }

json TextList(const std::vector<std::string>& list) {
    json a = json::array();
    for (const std::string& s : list) a.push_back(Text(s));
    return a;
}

// The packed DOS stamp as local "YYYY-MM-DDTHH:MM:SS", null when unknown.
json DosStamp(uint32_t stamp) {
    if (stamp == 0) return nullptr;
    const unsigned date = stamp >> 16, time = stamp & 0xFFFF;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u", (date >> 9) + 1980, (date >> 5) & 15,
                  date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
    return buf;
}

json Settings() {
    const TEnvSettings& e = EnvSettings;
    return {
        {"bps", e.Bps},
        {"bpsCaption", Text(e.BpsCaption)},
        {"fileSizeDisp", e.FileSizeDisp},
        {"sortType", e.SortType},
        {"sortAscending", e.SortAscending},
        {"linkEnabled", e.LinkEnabled},
        {"followOtherFolders", e.FollowOtherFolders},
        {"documentEncoding", DocEncodingName(e.DocumentEncoding)},
        {"htmlExtensions", TextList(e.HtmlExtensions)},
        {"hrefSkipEnabled", e.HrefSkipEnabled},
        {"hrefSkipPrefixes", TextList(e.HrefSkipPrefixes)},
        {"imgSkipEnabled", e.ImgSkipEnabled},
        {"imgSkipPrefixes", TextList(e.ImgSkipPrefixes)},
        {"aliasEnabled", e.AliasEnabled},
        {"aliases", TextList(e.Aliases)},
        {"errorLogLimit", e.ErrorLogLimit},
        {"errorLogMax", e.ErrorLogMax},
        {"modern", e.Modern},
    };
}

}  // namespace

std::string BuildResultJson(const TRunSummary& summary) {
    json doc;
    doc["program"] = VersionText;
    doc["settings"] = Settings();
    doc["inputs"] = TextList(InputList);

    std::unordered_map<std::string, int> problemsPerPage;
    for (const THTMLFileInfo* r : ErrorLog) ++problemsPerPage[r->FileName];

    json pages = json::array();
    for (const THTMLFileInfo* p : FileList) {
        json parts = json::array();
        for (const THTMLFileInfo* part : p->Items)
            parts.push_back({{"path", Text(part->FileName)},
                             {"size", part->TotalSize},
                             {"isHTML", part->IsHTML},
                             {"kind", PartKindName(part->Kind)}});
        auto found = problemsPerPage.find(p->FileName);
        pages.push_back({
            {"path", Text(p->FileName)},
            {"title", Text(p->Title)},
            {"encoding", DocEncodingName(p->KanjiCode)},
            {"htmlSize", p->HTMLSize},
            {"weight", p->TotalSize},
            {"weightText", Text(FormatWeight(p->TotalSize))},
            {"loadTime", Text(FormatLoadTime(p->TotalSize))},
            {"date", DosStamp(p->FileDate)},
            {"resourceCount", p->Items.Count() > 0 ? p->Items.Count() - 1 : 0},
            {"problemCount", found == problemsPerPage.end() ? 0 : found->second},
            {"parts", std::move(parts)},
            {"notFound", TextList(p->NotFoundList)},
            {"urls", TextList(p->URLList)},
        });
    }
    doc["pages"] = std::move(pages);

    json problems = json::array();
    for (int i = 0; i < ErrorLog.Count(); ++i) {
        const THTMLFileInfo* r = ErrorLog[i];
        problems.push_back({
            {"message", Text(r->Message)},
            {"page", r->FileName.empty() ? json(nullptr) : Text(r->FileName)},
            {"target", Text(r->LinkName)},
        });
    }
    doc["problems"] = std::move(problems);
    doc["problemLines"] = {{"count", summary.warningCount}, {"stopped", summary.warningsStopped}};
    doc["interrupted"] = summary.interrupted;
    doc["error"] = summary.error.empty() ? json(nullptr) : Text(summary.error);
    // Every text went through the CP932 converter, which yields valid UTF-8.
    return doc.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

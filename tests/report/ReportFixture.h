// A result model built by hand for the report tests, with the settings,
// the input list and SOURCE_DATE_EPOCH put back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "platform/Encoding.h"
#include "settings/Uenviron.h"

// Expected texts are written in UTF-8 and compared as the CP932 the program
// produces.
inline std::string Sj(const std::string& utf8) { return platform::Utf8ToCp932Literal(utf8.c_str()); }

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = EnvSettings;
        if (const char* e = std::getenv("SOURCE_DATE_EPOCH")) savedEpoch_ = e;
        ::setenv("SOURCE_DATE_EPOCH", "0", 1);
        FileList.Clear();
        InputList.clear();
    }
    void TearDown() override {
        EnvSettings = saved_;
        if (savedEpoch_) ::setenv("SOURCE_DATE_EPOCH", savedEpoch_->c_str(), 1);
        else ::unsetenv("SOURCE_DATE_EPOCH");
        FileList.Clear();
        InputList.clear();
    }

    static void AllSections(bool on) {
        EnvSettings.ExportUrlList = EnvSettings.ExportHtmlList = EnvSettings.ExportHtmlRes = on;
        EnvSettings.ExportOtherUrl = EnvSettings.ExportError = on;
    }

    // A page record: parts[0] is the page's own file, the rest its resources;
    // TotalSize is their sum, as a run leaves it.
    static THTMLFileInfo* AddPage(const std::string& name, const std::vector<std::pair<std::string, int64_t>>& parts) {
        auto* page = new THTMLFileInfo;
        page->FileName = name;
        for (size_t k = 0; k < parts.size(); ++k) {
            auto* part = new THTMLFileInfo;
            part->FileName = parts[k].first;
            part->TotalSize = parts[k].second;
            part->IsHTML = k == 0;
            page->Items.Add(part);
            page->TotalSize += parts[k].second;
        }
        page->HTMLSize = parts.empty() ? 0 : parts[0].second;
        FileList.Add(page);
        return page;
    }

    static std::vector<std::string> Names(const THTMLItemList& items) {
        std::vector<std::string> r;
        for (const THTMLFileInfo* p : items) r.push_back(p->FileName);
        return r;
    }

    // The lines from the one equal to first (inclusive), count of them.
    static std::vector<std::string> Slice(const std::vector<std::string>& lines, const std::string& first,
                                          size_t count) {
        for (size_t k = 0; k < lines.size(); ++k) {
            if (lines[k] == first) {
                size_t end = std::min(lines.size(), k + count);
                return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(k),
                                                lines.begin() + static_cast<std::ptrdiff_t>(end));
            }
        }
        ADD_FAILURE() << "line not found";
        return {};
    }

    TEnvSettings saved_;
    std::optional<std::string> savedEpoch_;
};

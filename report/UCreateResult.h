// Turning results into text: the weight and load-time strings every list
// and report shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

// The weight of Size bytes in the unit of EnvSettings.FileSizeDisp (bytes,
// bytes/KB/MB, grams, g/Kg/t); empty for an unknown display mode.
std::string FormatWeight(int64_t Size);

// The time Size bytes take at EnvSettings.Bps bits per second, such as
// " 1分 23.33秒" (CP932). Empty when the line speed is not positive.
std::string FormatLoadTime(int64_t Size);

// ---------------------------------------------------------------------------
// Reports of the last run: the plain-text report (file and clipboard) and the
// HTML report. Lines are CP932 without line ends; files get CR LF after
// every line. Building a report sorts each page's Items and URLList in the
// model, so the lists and the reports show the same order.

// The CP932 message for a report file that could not be created or
// written: "ﾌｧｲﾙ <name> を作成できません", as the export command shows it.
std::string FileCreateErrorText(const std::string& fileName);

// "YYYY/MM/DD H:MM:SS": now, in local time; when SOURCE_DATE_EPOCH holds a
// count of seconds up to the end of year 9999, that moment in UTC instead,
// so reports can be compared byte for byte.
std::string ReportDateTimeText();

// The name of EnvSettings.SortType for the sort line of the reports.
std::string SortTypeCaption();

// Receives report lines one by one as they are made (CP932, no line end),
// so that the report of a big run can be written out without being held.
class TReportSink {
public:
    virtual ~TReportSink() = default;
    virtual void Line(std::string_view line) = 0;
};

// Appends the whole text report.
void BuildTextReport(std::vector<std::string>& Lines);
void BuildTextReport(TReportSink& Sink);
// Builds the text report and writes it to the file, replacing it as a whole
// (never half-written). A failure carries FileCreateErrorText.
[[nodiscard]] platform::TResult SaveTextReport(const std::string& FileName);
// Builds the text report and hands it to the clipboard, CR LF after every
// line. False when there is no clipboard.
bool CopyTextReport();

// The table of checked pages; HTMLMode adds the anchors and file links the
// preformatted HTML report uses.
void AddCheckedFileTable(std::vector<std::string>& Lines, bool HTMLMode);
void AddCheckedFileTable(TReportSink& Sink, bool HTMLMode);
// One table of parts per page, with shares of the page's weight.
void AddResourceTables(std::vector<std::string>& Lines, bool HTMLMode);
void AddResourceTables(TReportSink& Sink, bool HTMLMode);
// The outside URLs of each page that has any.
void AddOtherURLLists(TReportSink& Sink);
// The missing files of each page that has any.
void AddErrorLists(TReportSink& Sink);

// The path part of a file: address: the characters % blank # < > [ ] ^ `
// { | } ~ " escaped as %XX (never the trail byte of a double-byte character),
// one leading "/" dropped, so that "file:///" + the result names the file.
std::string FilePathToURL(const std::string& Path);

// Appends the whole HTML report, in table or preformatted layout by
// EnvSettings.ExportUseTable.
void BuildHTMLReport(std::vector<std::string>& Lines);
void BuildHTMLReport(TReportSink& Sink);
// Builds the HTML report and writes it like SaveTextReport.
[[nodiscard]] platform::TResult SaveHTMLReport(const std::string& FileName);

// The lines joined, each followed by CR LF.
std::string JoinReportLines(const std::vector<std::string>& Lines);

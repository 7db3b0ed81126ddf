// The measurement engine's unit: what a reference written in a page means on
// the local disk.
//
// Every text is CP932 bytes; paths use "/" as separator. A reference may
// arrive with "\" (or "|" for a drive colon) as Windows pages write them;
// both are converted without touching the trail byte of a double-byte
// character.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

// --- Link and path resolution ------------------------------------------------

// Turns a "file://" address into a local path: removes "file://" (any case)
// and a host part up to the next "/" ("localhost"), keeping the leading "/";
// "|" becomes ":" and "\" becomes "/". True when the path had that form
// (and more than the bare prefix) and was rewritten; otherwise the path is
// left alone.
bool StripFileURL(std::string& path);

// Rewrites a reference into a local path against the page that contains it.
// A reference starting with "/" or "\" is kept as written; "file:" plus a
// path loses its "file:"; anything else is joined to the page's folder and
// expanded lexically. "\" becomes "/", "|" becomes ":", and a result naming
// an existing folder gets a trailing "/". An empty reference stays empty.
// The result is not checked for existence otherwise.
void ResolveReference(std::string& ref, const std::string& pagePath);

// The reference with the first matching alias source (EnvSettings.Aliases,
// "source;replacement", compared case-insensitively) replaced.
std::string ReplaceAlias(const std::string& ref);

// Whether a link (HREF) or resource (IMG) reference is to be ignored because
// it begins with an entry of the matching skip list (case-insensitive).
bool IsHrefSkip(const std::string& ref);
bool IsImgSkip(const std::string& ref);

// --- Measurement run ---------------------------------------------------------
//
// One run turns InputList into the result model (FileList, ErrorLog): the
// folder search fills SearchList, then every page is measured depth-first,
// following links to further local pages. Progress and problems go to three
// sinks (any of them may be empty); the run ends early when the stop flag is
// set, which only a sink can do.

using TProgressSink = std::function<void(const std::string&)>;

// A page file was opened but could not be read to its end. The message is
// CP932 text naming the file; the results gathered so far stay in the model.
// An exception rather than a TResult: it leaves the run from deep inside the
// page loop, through every layer, to the front end that started the run.
class EReadError : public std::runtime_error {
public:
    EReadError(const std::string& message, std::string fileName)
        : std::runtime_error(message), fileName_(std::move(fileName)) {}
    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
};

// One whole run over InputList. Clears StopFlag, FileList, ErrorLog and
// SearchList first. Throws EReadError (and nothing else of its own).
void MeasureAll(bool& StopFlag, const TProgressSink& FolderSink, const TProgressSink& FileSink,
                const TProgressSink& WarningSink);

// Adds the files to measure under one input to SearchList: a file whatever
// its extension, a folder with every file of an HTML extension below it,
// depth-first in name order. Each folder (by device and inode) is entered
// once, so symlink loops end. A name that has no Shift-JIS form is reported
// through WarningSink instead of being measured.
void SearchFolder(const std::string& Path, bool& StopFlag, const TProgressSink& FolderSink,
                  const TProgressSink& WarningSink = {});

// Measures one page and the local pages it links to (when link following is
// on), appending page records to FileList. Root is the folder that links may
// not leave unless FollowOtherFolders is on. A page already in FileList is
// not measured again. Link chains of any length are followed without deep
// native recursion.
void MeasureFile(const std::string& Root, const std::string& Path, bool& StopFlag, const TProgressSink& FileSink,
                 const TProgressSink& WarningSink);

// Sends "Message: Target[ at Page]" to the sink and appends a problem record
// (page, target and message) to ErrorLog, whether or not a sink is given.
void AddProblem(const std::string& Message, const std::string& Page, const std::string& Target, bool& StopFlag,
                const TProgressSink& WarningSink);

// Reports a reference of the "file:" form (longer than 7 characters).
void WarnLocalFile(const std::string& Ref, const std::string& Page, bool& StopFlag, const TProgressSink& WarningSink);

// The problem messages of a run (CP932).
const std::string& MsgCannotOpen();   // "ファイルを開けません"
const std::string& MsgNotFound();     // "ファイルが見つかりません"
const std::string& MsgOtherFolder();  // "別フォルダなのでスキップします"
const std::string& MsgLocalFile();    // "ローカルファイルが指定されています"
const std::string& MsgNameNotSjis();  // "ファイル名を Shift-JIS で表せません"
// "警告(%s): 計測は中断されました。" with the page's path in place of %s.
std::string InterruptedLine(const std::string& page);

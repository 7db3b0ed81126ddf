// The end of a run, the same for the window and the command line: what
// happens to the results once the engine has returned.
#pragma once

#include <string>

#include "outside/UCreateWLS.h"

class THTMLFileInfo;

// Sorts FileList by EnvSettings.SortType and SortAscending; selected (a
// row, or negative for none) names the same page afterwards.
void SortPageList(int& selected);

// Sorts a page's parts as the parts list shows them: by size when
// EnvSettings.SortType sorts by size or by image count, by name when it
// sorts by name, not at all otherwise; selected follows its part.
void SortPageParts(THTMLFileInfo& page, int& selected);

struct TRunEnd {
    TWlsResult ItemFile;  // NotEnabled unless EnvSettings.WlsEnabled
    int NamedPage = -1;   // FileList index of the named page after the sort
};

// After the engine has returned (also after Break): the WWWC item file when
// EnvSettings.WlsEnabled and itemFile, then FileList sorted with no row
// selected, then the parts of the page whose FileName is namedPage (the
// first such page) sorted. The item file's outcome is returned, not shown.
// The window passes itemFile false when the engine failed; the command line
// writes the file with what was gathered all the same.
TRunEnd FinishRun(const std::string& namedPage, bool itemFile = true);

// Handing the run's outside addresses to WWWC: after a run they are merged
// into its item file, one item per distinct address.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

// What became of the item file after a run.
enum class TWlsOutcome {
    Written,     // merged and replaced
    NotEnabled,  // the item file is switched off for the run
    Cancelled,   // the user chose not to write while WWWC runs
    Failed,      // not written; Message says why
};

// The item file's outcome with the message the user is to see (CP932,
// empty unless Failed) and the kind of box the window shows it in.
struct TWlsResult {
    TWlsOutcome Outcome = TWlsOutcome::Written;
    platform::TMsgKind Kind = platform::TMsgKind::Error;
    std::string Message;
};

// Merges the outside addresses of the pages in FileList into the item file
// at path, by EnvSettings.WlsKeepInfo, WlsRemoveURL and WwwcRunningCheck.
// While WWWC runs the user is asked through the message box seam whether to
// go on; a failure is not shown but returned, and leaves the file as it
// was: the file is replaced as a whole (platform::TOutputFile), never left
// half-written or missing.
[[nodiscard]] TWlsResult UpdateWlsFile(const std::string& path);

// The distinct outside addresses of FileList's pages in page and list order,
// each cut at its first "#"; addresses differing in letter case are distinct.
std::vector<std::string> CollectWlsAddresses();

// The name of the intermediate file for the item file at path: in its
// folder, tick as eight upper-case hex digits plus ".~LS", as a full path;
// counted up past names that exist.
std::string WlsIntermediateName(const std::string& path, uint32_t tick);

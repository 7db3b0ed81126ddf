// Handing the run's outside addresses to WWWC: after a run they are merged
// into its item file, one item per distinct address.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Merges the outside addresses of the pages in FileList into the item file
// at path, by EnvSettings.WlsKeepInfo, WlsRemoveURL and WwwcRunningCheck.
// Every failure is reported in a message box and leaves the file as it was;
// the file is replaced as a whole (platform::TOutputFile), never left
// half-written or missing.
void UpdateWlsFile(const std::string& path);

// The distinct outside addresses of FileList's pages in page and list order,
// each cut at its first "#"; addresses differing in letter case are distinct.
std::vector<std::string> CollectWlsAddresses();

// The name of the intermediate file for the item file at path: in its
// folder, tick as eight upper-case hex digits plus ".~LS", as a full path;
// counted up past names that exist.
std::string WlsIntermediateName(const std::string& path, uint32_t tick);

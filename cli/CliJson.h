// The whole result of a run as JSON (UTF-8): the settings that shaped it,
// the inputs, the pages with their parts, and the problems. The schema is
// described in the README.
#pragma once

#include <string>

struct TRunSummary {
    int warningCount = 0;        // problem lines counted by the cap
    bool warningsStopped = false;
    bool interrupted = false;    // the run was stopped before its end
    std::string error;           // CP932; a read error that ended the run
};

// Builds the document from FileList, ErrorLog, InputList and EnvSettings.
std::string BuildResultJson(const TRunSummary& summary);

// The whole result of a run as JSON (UTF-8): the settings that shaped it,
// the inputs, the pages with their parts, and the problems. The schema is
// described in the README.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct TRunSummary {
    int warningCount = 0;  // problem lines counted by the cap
    bool warningsStopped = false;
    bool interrupted = false;  // the run was stopped before its end
    std::string error;         // CP932; a read error that ended the run
};

// Receives the document in pieces as it is made.
class TJsonSink {
public:
    virtual ~TJsonSink() = default;
    virtual void Write(std::string_view bytes) = 0;
};

// Writes the document from FileList, ErrorLog, InputList and EnvSettings to
// the sink as it goes, so that the document of a big run is never held
// whole.
void WriteResultJson(const TRunSummary& summary, TJsonSink& sink);
// The same document as one string.
std::string BuildResultJson(const TRunSummary& summary);

// How a core operation that a front end calls tells that it failed: it
// returns a TResult holding the message (CP932) the user is to see, and the
// front end shows it its own way (the window in a box, the command line on
// stderr). Operations that return a TResult never show the failure themselves;
// the few core commands that only the window calls (exporting, launching
// programs) still report through the message-box seam.
//
// Exceptions are kept for the one failure that crosses many layers by
// design: EReadError leaves the engine from deep inside a run.
#pragma once

#include <string>
#include <utility>

namespace platform {

struct TResult {
    bool Ok = true;
    std::string Error;  // CP932; empty when Ok

    static TResult Success() { return {}; }
    static TResult Failure(std::string error) { return {false, std::move(error)}; }
    explicit operator bool() const { return Ok; }
};

}  // namespace platform

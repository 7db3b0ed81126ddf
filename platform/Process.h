// Looking for other running programs. Only one is ever asked about: WWWC,
// the web update checker whose item file must not be rewritten under it.
#pragma once

#include <string_view>

namespace platform {

// True while a process of WWWC runs: a process whose executable name (the
// kernel's name for it, or the last element of its argv[0] split on "/" and
// "\") is "wwwc" or "wwwc.exe" in any letter case, as under Wine. The
// front end's wwwcRunning answers instead when set (tests).
bool IsWwwcRunning();

// Whether one executable name, or an argv[0] with its folders, names WWWC.
bool IsWwwcExecutableName(std::string_view nameOrPath);

}  // namespace platform

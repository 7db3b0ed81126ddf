// File routines of the outside-programs subsystem: the name a path has on
// disk, and names for temporary files.
//
// Paths are CP932 with "/" as separator.
#pragma once

#include <string>

// The stored name of the last element of path (any kind of entry). When no
// entry has exactly that name, a last element holding "*" or "?" is matched
// as a wildcard in its folder ("?" is one character, double-byte ones
// included), first match in name order.
// Empty when nothing is found, for a path ending in "/", and for ".".
std::string FindRealName(const std::string& path);

// The path expanded to a full path. A path naming an existing file is
// rebuilt from its stored names; as Linux keeps no short aliases that is the
// expanded path itself. An empty path stays empty rather than naming the
// current folder.
std::string GetLongPath(const std::string& path);

// A name for a new temporary file in the system's temporary folder: the tick
// count as 8 upper-case hex digits plus extension, counted up past names that
// are taken. A missing temporary folder is created with its parents, after
// asking when ask is true; when the user declines, the name is made anyway
// and writing it fails in the caller.
std::string MakeTempFileName(const std::string& extension, bool ask);

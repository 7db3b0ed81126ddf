// The measurement engine's unit: what a reference written in a page means on
// the local disk.
//
// Every text is CP932 bytes; paths use "/" as separator. A reference may
// arrive with "\" (or "|" for a drive colon) as Windows pages write them;
// both are converted without touching the trail byte of a double-byte
// character.
#pragma once

#include <string>

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

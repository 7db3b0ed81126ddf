// Lexical path expansion for the measurement's hot paths.
#pragma once

#include <string>
#include <string_view>

// The same result as platform::ExpandFileName(path, base) ("." and ".."
// removed, joined to base unless path is absolute, trailing "/" kept),
// written into out so that its memory is reused from call to call. out must
// not hold the text that path or base view.
void ExpandFileNameInto(std::string& out, std::string_view path, std::string_view base);

// Whether ExpandFileNameInto would give the path back unchanged: it begins
// with "/" and has no empty, "." or ".." segment (a single trailing "/"
// aside).
bool IsExpandedPath(std::string_view path);

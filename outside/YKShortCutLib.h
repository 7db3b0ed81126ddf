// Shell shortcuts (.LNK files) and the path an input stands for.
//
// The .LNK file is read directly from its documented binary layout (shell
// link header, optional item-id list, link info, string data, extra data
// blocks); nothing of it is trusted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct TShortCutInfo {
    std::string Path;       // the target, in this program's form (CP932, "/")
    std::string Arguments;  // the remaining texts CP932, as stored
    std::string WorkingDirectory;
    std::string Description;
    std::string IconLocation;
    int32_t IconIndex = 0;
    uint8_t ShowState = 0;  // 2: show maximised, 1: minimised without activation, else 0
};

// Parses the bytes of a .LNK file. False for anything that is not a complete,
// well-formed shortcut; info is then left untouched. linkFolder (CP932, the
// folder holding the .LNK) serves the fallback for a target stored as a
// Windows drive or network path: see the mapping in the .cpp file.
bool ParseShortcutBytes(std::string_view data, TShortCutInfo& info, std::string_view linkFolder = {});

// Reads the shortcut at path (expanded to a full path). False when it cannot
// be read or is not a shortcut; info is then left untouched.
bool ReadShortcut(const std::string& path, TShortCutInfo& info);

// The shortcut's target path, or empty when it cannot be read.
std::string GetShortcutTarget(const std::string& path);

// The path the program should measure for an input: its full form and, when
// resolve is true and it names a ".LNK" file, the shortcut's target instead
// (one level only; a target that is itself a shortcut is returned as is).
std::string ResolveInputPath(const std::string& path, bool resolve);

// Turning a typed, chosen or given input into the path a run measures: the
// window-free part of the main window's input preparation, shared with the
// command line.
#pragma once

#include <string>

struct TResolvedInput {
    // The path to measure (CP932, "/"); empty when the input was refused or
    // comes to nothing. A folder ends in "/". Not guaranteed to exist.
    std::string Path;
    // Path names an existing file, or was found to be a folder: the input
    // goes into the history.
    bool Exists = false;
    bool IsFolder = false;
    // An address on the Internet, with the message (CP932) the front end
    // shows in an error box or on stderr.
    bool Refused = false;
    std::string Message;
};

// Trims blanks and control characters, turns a "file://" address into a
// path, refuses any text holding "://" with the message
// "インターネットの先のファイルは計測できません", resolves a shell shortcut
// (when EnvSettings.LnkFlag is on and shortcuts are supported) and an
// internet-shortcut file (".url": key URL of section InternetShortcut), adds
// "/" to a folder, and makes the folder of the result the current folder
// (a failure there is ignored).
TResolvedInput ResolveInput(const std::string& text);

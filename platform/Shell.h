// Starting outside programs: a program with a file, or the desktop's "open"
// of a file or folder. Programs are started detached (their own session, no
// zombie left behind, stdin from /dev/null) and every argument reaches the
// program as one argv entry, blanks and all: no shell is involved.
//
// Results follow the shell's convention the message table is built on: a
// value of 32 or more is success, anything below is one of these codes.
#pragma once

#include <string>
#include <vector>

namespace platform {

inline constexpr int kShellOk = 33;
// The start failures of the launcher, mapped onto the table's codes:
inline constexpr int kShellOutOfResources = 0;  // fork/pipe failed, ENOMEM, EAGAIN, anything unforeseen
inline constexpr int kShellFileNotFound = 2;    // ENOENT: no such program (or file to open)
inline constexpr int kShellPathNotFound = 3;    // its folder part does not exist, ENOTDIR, ENAMETOOLONG, ELOOP
inline constexpr int kShellBadExecutable = 11;  // ENOEXEC, a file without execute permission, a folder, ELIBBAD
inline constexpr int kShellAccessDenied = 26;   // EACCES/EPERM for any other reason, ETXTBSY
inline constexpr int kShellNoAssociation = 31;  // no "open" program (xdg-open) to be found

// The program that carries out "open" (native name or path):
// $VELMORAN_OPEN_PROGRAM when set and not empty, else "xdg-open".
std::string OpenProgram();
// Whether that program can be found.
bool OpenProgramAvailable();

// Where a program lives (CP932): a name holding "/" is taken as it is when
// it exists; a bare name is looked for on PATH only (executable regular
// files), never in the current folder, which is the folder of whatever site
// was measured last. Empty when not found.
std::string FindProgram(const std::string& program);

// Starts program (CP932; a bare name is looked up as FindProgram does) with
// the given arguments (CP932, each one argv entry) and returns at once. The
// current folder and the environment are inherited.
int StartDetached(const std::string& program, const std::vector<std::string>& args);

// The desktop's "open" of a file or folder (CP932): the open program with
// the target as its one argument. A target that does not exist gives
// kShellFileNotFound (kShellPathNotFound when its folder is missing) and
// starts nothing; so does a missing open program (kShellNoAssociation). What
// the open program then does is not waited for.
int ShellOpen(const std::string& target);

// The code for a start that failed with errno err; folderMissing tells an
// ENOENT whose folder part is missing, notExecutable an EACCES on a file
// that simply lacks execute permission.
int ShellCodeForErrno(int err, bool folderMissing, bool notExecutable);

}  // namespace platform

// What the resource commands (ls, cat, add, rm) act on: a resource file, or
// an object given by its base name. The path decides:
//   an existing file        a container, either version (the second is
//                           tried first; a file of the first version opens
//                           as one)
//   an existing directory   a directory of loose "#id#name.EXT" resources
//   anything else           an object base name: NAME.iff, NAME.spf and
//                           NAME.dir, whichever exist
// With creation asked for, a missing target is made: a new container when
// the path ends in ".iff" or ".spf", a new object otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "resfile/res_file.h"

namespace pixmold::cli {

enum class TargetKind { kContainer2, kContainer1, kLooseDirectory, kObject };

struct ResTarget {
  std::unique_ptr<iResFile> file;
  TargetKind kind = TargetKind::kContainer2;
  std::string path;

  // The files making up the target, with the label ls prints for each.
  std::vector<std::pair<iResFile*, std::string>> Components() const;
  bool HasVariants() const { return kind != TargetKind::kContainer1; }
};

// For commands that only read: every file opens for reading only, under a
// shared lock that lets other readers in and keeps writers waiting.
void OpenForReadingOnly();

// Opens the target; on failure prints "pixmold CMD: ..." to standard error
// and returns the exit status in *status. A part that exists but cannot be
// read, and damage the open met, are warnings for a command that only
// reads; a command that writes refuses them (exit 1), as it refuses an
// object with a read-only part, before anything changes. A part another
// process holds fails every command ("PATH is in use by another process").
std::optional<ResTarget> OpenTarget(std::string_view command, const std::string& path, bool create, int* status);

// True when the path, or any part of the object it names (NAME.iff,
// NAME.spf, NAME.dir), exists.
bool ObjectFileExists(const std::string& path);
// The parts a new object at the path would be made of (NAME.iff and
// NAME.spf) that are there already, as any directory entry, a symbolic
// link (dangling or not) included.
std::vector<std::string> ExistingParts(const std::string& path);

// Closes the target, writing what is pending; prints the failure.
int CloseTarget(std::string_view command, ResTarget& target);
// The end of a command's change: with the change's error the file is closed
// as it stands and the error printed for `what`; without, as above.
int CloseTarget(std::string_view command, ResTarget& target, std::string_view what, ResErr err);

// Prints "pixmold CMD: WHAT: <text> (<code>)" and returns kExitFailed.
int ReportResErr(std::string_view command, std::string_view what, ResErr err);
// As ReportResErr, but when the file knows what is wrong with it (a block
// damaged where a read met it), that is named instead of a bare code.
int ReportFileErr(std::string_view command, iResFile& file, std::string_view what, ResErr err);

// A type written as four characters, where "\xHH" stands for any byte and
// "\\" for a backslash ("SPR#", "BMP_", "\x00CST").
std::optional<ResType> ParseTypeArgument(std::string_view text);
// The same notation for output.
std::string FormatType(ResType type);

// The resource of exactly that type, id and variant, or null (the file's
// error state says why, -98 when only another variant exists).
MHandle GetExactResource(iResFile& file, ResType type, ResID id, std::uint8_t variant);

}  // namespace pixmold::cli

// Where a build finds its inputs in the two directory trees the dialog works
// with: object files under the data tree's "Objects/" folder, markup files
// under the content tree's "Sprites/" folder next to their images. An object
// file is named by its path without extension (the resource layer finds its
// ".iff" and ".spf" parts); its markup is the first ".omk" file whose base
// name matches, ignoring case, and its images are in that file's folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixmold {

// The part of a path after its last separator ("/" or "\").
std::string_view PathLeaf(std::string_view path);
// The leaf without its extension (a leading dot does not start one).
std::string_view PathStem(std::string_view path);

// The directory with a trailing separator ("/" unless it ends in "/" or "\").
std::string WithTrailingSeparator(std::string_view directory);

// Every file under the directory (recursively) whose extension equals the
// given one ignoring case, sorted ignoring case; empty when unreadable.
// Read-only files are the ones an artist has not checked out: the dialog
// hides them unless asked to show all.
std::vector<std::string> ScanForExtension(std::string_view directory, std::string_view extension,
                                          bool includeReadOnly = true);

// The directory and every directory under it (links to directories left
// out), sorted ignoring case; empty when unreadable. A tree gains or loses a
// file only by changing one of their modification times.
std::vector<std::string> ScanDirectories(std::string_view directory);

// The object files of a data tree, each as its path without extension.
std::vector<std::string> ScanObjectFiles(std::string_view dataDirectory, bool includeReadOnly = true);
// The markup files of a content tree.
std::vector<std::string> ScanMarkupFiles(std::string_view contentDirectory);

// The object file of the data tree whose base name is `name` (ignoring case).
std::optional<std::string> FindObjectFile(std::string_view dataDirectory, std::string_view name);

struct MarkupLocation {
  std::string omkFile;
  std::string imageDirectory;  // with its trailing separator
};
// The first markup file whose base name equals the object's, ignoring case;
// none leaves the build without a markup pass.
std::optional<MarkupLocation> FindMarkupFor(const std::vector<std::string>& omkFiles, std::string_view objectBaseName);

}  // namespace pixmold

// Making a new object from a template object file, and duplicating one
// definition inside a file. A copied definition is a new object to the game,
// so it gets a fresh GUID (the old one is kept as its template GUID).
//
// The copier's option clears the entry points of the copied definitions (the
// new object then runs the behaviour its own tree tables will name), and a
// new name, when given, replaces the name of each copied master definition;
// the parts of a multi-tile object keep theirs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resfile/file_problem.h"
#include "resfile/res_types.h"

namespace pixmold {

class iResFile;
struct WalkedResource;

class StubObject {
 public:
  // The type code 'cst' and a zero byte: text string lists the copier
  // rewrites as STR# instead of copying their bytes.
  static constexpr ResType kTextListType = 0x63737400;

  void SetClearEntryPoints(bool on) { fClearEntryPoints = on; }
  void SetNewName(std::string_view name) { fNewName = name; }

  // Copies every resource of the template file into a new object file at the
  // destination path; 0 or the resource layer's error code: -43 when
  // anything is at the destination (a part, a link), -302 when a part of
  // the template does not open (TemplateProblems says why). A copy that
  // fails removes what it made.
  ResErr Copy(std::string_view templatePath, std::string_view destinationPath);
  // What kept the last Copy from reading the template whole.
  const std::vector<FileProblem>& TemplateProblems() const { return fProblems; }
  // Removes the parts of an object a Copy made (a build that made one and
  // then failed leaves nothing behind).
  static void DeleteCopy(std::string_view destinationPath);

  // Duplicates definition `id` of the file under a fresh id and GUID with the
  // new name, and copies its function table; -1 when the file cannot be
  // written, otherwise 0 or the file's error code.
  static ResErr CloneDefinition(iResFile& file, ResID id, std::string_view newName);

  // (milliseconds << 16) ^ seconds ^ a pseudo-random number.
  static std::uint32_t NewGuid();

 private:
  ResErr CopyResource(iResFile& source, iResFile& destination, WalkedResource& resource);

  bool fClearEntryPoints = false;
  std::string fNewName;
  std::vector<FileProblem> fProblems;
};

}  // namespace pixmold

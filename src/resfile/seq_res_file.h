// A chain built from one base name and a list of component kinds and
// extensions: "chair" with (IFF2, ".iff") and (IFF2, ".spf") opens
// chair.iff and chair.spf as one file. Whichever components exist are
// opened; the chain is open when at least one is. One that exists but does
// not open is named among the file's problems, and the chain then takes no
// change; one that another process holds fails the whole open (-301). The
// sequential file owns the components it opens.
//
// A component's name is the base name with its extension replaced by the
// component's. Object paths are stored as base names without extension, and
// a base name may itself hold a '.' ("lamp.v2"), so only an extension that is
// one of the components' own is replaced; any other name gets the
// component's extension appended.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "resfile/chain_res_file.h"

namespace pixmold {

class SeqResFile : public ChainResFile {
 public:
  static constexpr int kMaxComponents = 8;
  static constexpr int kEndKind = 0;
  static constexpr int kIFFKind = 1;
  static constexpr int kIFF2Kind = 2;
  static constexpr int kResolveKind = 3;
  // Result of opening a sequential file with no components specified.
  static constexpr ResErr kNoComponents = -250;

  SeqResFile() = default;
  ~SeqResFile() override;

  // Kinds 0 to 3; kind 0 ends the list and adds nothing.
  void AddComponent(int kind, std::string_view extension);
  // The name of the component with that extension for a base name: the
  // name's own extension, if any, replaced by the component's.
  static std::string ComponentName(std::string_view name, std::string_view extension);
  // The extension of the component at a chain index, or empty.
  std::string ComponentExtension(int index) const;

  ResErr CreateFile(const CTGString& name) override;
  ResErr DeleteFile(const CTGString& name) override;
  ResErr OpenFile(const CTGString& name) override;
  ResErr CloseFile() override;
  // The name the file was opened with.
  ResErr GetFileName(CTGString& name) override;

 protected:
  // A new, closed component object of a kind; null for an unknown kind.
  virtual std::unique_ptr<iResFile> MakeComponent(int kind);

 private:
  // Closes and forgets every component opened so far.
  void DropComponents();

  struct Spec {
    int kind;
    std::string extension;
  };
  struct Component {
    std::unique_ptr<iResFile> file;
    std::string extension;
  };

  std::vector<Spec> fSpecs;
  std::vector<Component> fComponents;
  std::string fName;
};

}  // namespace pixmold

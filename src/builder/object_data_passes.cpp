// The passes that write an object's data rather than its pictures: sounds,
// slots, attribute strings, skill tables, catalog values, tree tables and
// plain pictures. Each walks its list of specs in list order and notes what
// it wrote in the request, for the command line's summary.
#include <string>

#include "base/report.h"
#include "base/stop_request.h"
#include "builder/output_passes.h"
#include "builder/picture_resource.h"
#include "records/slots.h"
#include "records/sound_info.h"
#include "records/tree_table.h"
#include "resfile/res_file.h"

namespace pixmold {
namespace {

constexpr ResType kStringType = MakeResType("STR#");
constexpr ResType kDefinitionType = MakeResType("OBJD");

// Called after each resource, where an interrupted build may stop.
void NoteWritten(ResType type, std::int32_t id) {
  if (BuildArgs* args = CurrentBuildArgs()) args->fWritten.emplace_back(type, static_cast<ResID>(id));
  StopHereIfRequested();
}

std::string FileNameOf(iResFile& file) {
  CTGString name;
  file.GetFileName(name);
  return name.Str();
}

// Pictures come from the thumbnail directory, or the image directory when
// none was given.
std::string_view PictureDirectory(const BuildArgs& args) {
  return args.fThumbnailDirectory.Empty() ? args.fTgaDirectory.View() : args.fThumbnailDirectory.View();
}

}  // namespace

void WriteSounds(iResFile& file, BuildContext& context) {
  for (const SoundSpec* spec : context.sounds) {
    SoundInfo sound{static_cast<ResID>(spec->Id()), std::string(spec->Name())};
    if (!sound.Save(file)) {
      FileWarning(FileNameOf(file), "could not write sound " + std::to_string(spec->Id()));
      continue;
    }
    NoteWritten(SoundInfo::kType, spec->Id());
  }
}

void WriteSlots(iResFile& file, BuildContext& context) {
  for (SlotsSpec* spec : context.slots) {
    spec->Save(file);
    NoteWritten(kStringType, SlotList::kLabelSetId);
    NoteWritten(SlotList::kType, spec->Id());
  }
}

void WriteAttributeStrings(iResFile& file, BuildContext& context) {
  for (AttrStringSpec* spec : context.attrStrings) {
    if (spec->Save(file) != res_error::kNone) {
      FileWarning(FileNameOf(file), "could not write attribute strings " + std::to_string(spec->Id()));
      continue;
    }
    NoteWritten(kStringType, spec->Id());
  }
}

void WriteSkillTables(iResFile& file, BuildContext& context) {
  for (SkillTable* table : context.skillTables) {
    table->Save(file);
    for (int k = 0; k < SkillTable::kSetCount; ++k) {
      if (table->Set(k).Count() > 0) NoteWritten(kStringType, SkillTable::kFirstSetId + k);
    }
  }
}

void WriteCatalogs(const BuildArgs& args, iResFile& file, BuildContext& context) {
  for (CatalogSpec* spec : context.catalogs) {
    spec->Save(PictureDirectory(args), file);
    NoteWritten(kPictureType, spec->Id());
    NoteWritten(kDefinitionType, spec->Target()->Id());
  }
}

void WriteTreeTables(iResFile&, BuildContext& context) {
  for (TreeTableSpec* spec : context.treeTables) {
    spec->Save();
    NoteWritten(TreeTable::kType, spec->Table().Id());
    NoteWritten(TreeTable::kStringsType, spec->Table().Id());
  }
}

void WriteBitmaps(const BuildArgs& args, iResFile& file, BuildContext& context) {
  for (const BMPResourceSpec* spec : context.bitmaps) {
    if (spec->Save(PictureDirectory(args), file) == res_error::kNone) NoteWritten(kPictureType, spec->Id());
  }
}

}  // namespace pixmold

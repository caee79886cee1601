#include "builder/target_spec.h"

#include <string>

#include "base/report.h"
#include "builder/attrib_readers.h"
#include "builder/build_args.h"
#include "builder/build_context.h"
#include "resfile/res_file.h"

namespace pixmold {
namespace {

constexpr ResType kObjectDefinitionType = MakeResType("OBJD");

std::string FileNameOf(iResFile& file) {
  CTGString name;
  file.GetFileName(name);
  return name.Str();
}

BuildContext* RunningContext() {
  BuildArgs* args = CurrentBuildArgs();
  return args ? args->fContext.get() : nullptr;
}

}  // namespace

void TargetSpec::Initialise(iResFile* file, MHandle definition) {
  fFile = file;
  fDefinition = definition;
  fLocked = nullptr;
  ObjDefinition::Normalise(definition);
  if (file == nullptr) return;
  CTGString name;
  file->GetResName(definition, name);
  SetName(name.View());
  ResID id = 0;
  file->GetResID(definition, id);
  fId = id;
}

ObjDefinition TargetSpec::DefinitionForChange() {
  if (fDefinition == nullptr) FatalError("no definition to save");
  if (fLocked == nullptr) fLocked = HLock(fDefinition);
  return ObjDefinition(std::span<std::uint8_t>(fLocked, static_cast<std::size_t>(GetHandleSize(fDefinition))));
}

void TargetSpec::Save() {
  if (fLocked == nullptr) return;
  if (fFile == nullptr) FatalError("no file to save to");
  if (!fFile->IsOpen()) FatalError("invalid file in saving target");
  if (fDefinition == nullptr) FatalError("no definition to save");
  HUnlock(fDefinition);
  fLocked = nullptr;
  if (fFile->WriteResource(fDefinition) != 0 || fFile->GetError() != 0) {
    FatalError("could not write object definition");
  }
}

TargetSpec* MakeTarget(BuildContext& context, MHandle definition) {
  if (definition == nullptr) return nullptr;
  for (TargetSpec* target : context.targets) {
    if (target->Definition() == definition) return target;
  }
  auto target = std::make_unique<TargetSpec>();
  target->Initialise(context.File(), definition);
  return context.targets.Add(std::move(target));
}

TargetSpec* FindTargetFromTag(BuildContext& context, AttribTable& tag) {
  iResFile* file = context.File();
  std::int32_t guid = 0;
  if (ReadLongInteger(tag, "guid", guid)) {
    const std::int32_t count = file ? file->CountResources(kObjectDefinitionType) : 0;
    for (std::int32_t index = 1; index <= count; ++index) {
      MHandle definition = file->GetIndResource(kObjectDefinitionType, index, nullptr);
      TargetSpec* target = MakeTarget(context, definition);
      if (target == nullptr) TagFatal(tag, "could not create target from handle");
      HandleLock lock = target->DefinitionForReading();
      if (ObjDefinition(lock.Bytes()).Guid() == static_cast<std::uint32_t>(guid)) return target;
    }
    FileWarning(file ? FileNameOf(*file) : std::string(), "could not find object with guid " + std::to_string(guid));
    return nullptr;
  }

  std::string object;
  if (!ReadString(tag, "object", object)) TagFatal(tag, "object name or guid required in target spec");
  MHandle definition = file ? file->GetNamedResource(kObjectDefinitionType, CTGString(object), nullptr) : nullptr;
  if (definition == nullptr) TagFatal(tag, "coult not get objd resource for target tag");
  return MakeTarget(context, definition);
}

TargetSpec* DefaultTarget(BuildContext& context) {
  iResFile* file = context.File();
  if (file == nullptr || file->CountResources(kObjectDefinitionType) != 1) return nullptr;
  if (context.targets.Empty()) {
    MHandle definition = file->GetIndResource(kObjectDefinitionType, 1, nullptr);
    if (definition == nullptr) FatalError("could not get default target");
    return MakeTarget(context, definition);
  }
  return context.targets.Count() == 1 ? context.targets.First() : nullptr;
}

TargetSpec* FindTargetFromTag(AttribTable& tag) {
  BuildContext* context = RunningContext();
  return context ? FindTargetFromTag(*context, tag) : nullptr;
}

TargetSpec* DefaultTarget() {
  BuildContext* context = RunningContext();
  return context ? DefaultTarget(*context) : nullptr;
}

}  // namespace pixmold

// The object a spec writes into. An object file may hold several objects,
// each described by an OBJD resource; specs that change a definition (the
// catalog and tree table specs) first find their target, by GUID or by the
// object's resource name, or take the file's only object by default. There
// is at most one target per definition handle: every lookup goes through the
// context's list first, so two specs that change one object share its lock
// and save it once.
#pragma once

#include <cstdint>

#include "builder/generic_spec.h"
#include "records/obj_definition.h"
#include "resfile/handle_owner.h"
#include "resfile/mem_handle.h"

namespace pixmold {

class BuildContext;
class iResFile;

class TargetSpec : public GenericSpec {
 public:
  // Wraps the definition (bringing it to the current version) and takes the
  // resource's name and id.
  void Initialise(iResFile* file, MHandle definition);

  // The definition locked for changes; from now on it is to be saved.
  ObjDefinition DefinitionForChange();
  // The definition for reading only; the lock ends with the returned scope.
  HandleLock DefinitionForReading() const { return HandleLock(fDefinition); }

  // Writes a changed definition back to its file; nothing happens when it
  // was never taken for change.
  void Save();

  MHandle Definition() const { return fDefinition; }
  iResFile* File() const { return fFile; }
  bool Changed() const { return fLocked != nullptr; }

 private:
  MHandle fDefinition = nullptr;
  iResFile* fFile = nullptr;
  std::uint8_t* fLocked = nullptr;
};

// The target of the handle, made and filed in the context when it is new.
TargetSpec* MakeTarget(BuildContext& context, MHandle definition);

// The target a tag names by "guid" (every object visited is registered) or
// by "object" name; none, after a file warning, when no object has the GUID.
TargetSpec* FindTargetFromTag(BuildContext& context, AttribTable& tag);

// The file's only object; none when the file holds no object or several, or
// when several targets were already made.
TargetSpec* DefaultTarget(BuildContext& context);

// The same two lookups in the context of the running build; none when no
// build is running.
TargetSpec* FindTargetFromTag(AttribTable& tag);
TargetSpec* DefaultTarget();

}  // namespace pixmold

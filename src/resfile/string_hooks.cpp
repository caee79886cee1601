#include "resfile/string_hooks.h"

#include <mutex>

namespace pixmold {
namespace {

// The hooks are installed by a static initialiser of the string-set code,
// which may run before this file's own: function-local objects are built on
// first use, so an installed hook can never be reset by a later initialiser.
struct Hooks {
  std::mutex mutex;
  StringListLoader loader;
  ReconStringTableFactory factory;
};

Hooks& TheHooks() {
  static Hooks hooks;
  return hooks;
}

}  // namespace

StringListLoader SetStringListLoader(StringListLoader loader) {
  Hooks& hooks = TheHooks();
  std::lock_guard lock(hooks.mutex);
  std::swap(hooks.loader, loader);
  return loader;
}

StringListLoader CurrentStringListLoader() {
  Hooks& hooks = TheHooks();
  std::lock_guard lock(hooks.mutex);
  return hooks.loader;
}

ReconStringTableFactory SetReconStringTableFactory(ReconStringTableFactory factory) {
  Hooks& hooks = TheHooks();
  std::lock_guard lock(hooks.mutex);
  std::swap(hooks.factory, factory);
  return factory;
}

std::unique_ptr<ReconStringTable> MakeReconStringTable(iResFile& file, ResType type, ResID id) {
  ReconStringTableFactory factory;
  {
    Hooks& hooks = TheHooks();
    std::lock_guard lock(hooks.mutex);
    factory = hooks.factory;
  }
  return factory ? factory(file, type, id) : nullptr;
}

}  // namespace pixmold

#include "resfile/string_hooks.h"

#include <mutex>

namespace pixmold {
namespace {

// Defaults named here rather than installed by a static initialiser of the
// string-set code: a static library drops an object file nothing refers to,
// and its initialiser with it.
struct Hooks {
  std::mutex mutex;
  StringListLoader loader = LoadStringSetValues;
  ReconStringTableFactory factory = MakeStringSetTable;
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

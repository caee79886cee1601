#include "resfile/string_hooks.h"

#include <mutex>

namespace pixmold {
namespace {

std::mutex gHookMutex;
StringListLoader gLoader;
ReconStringTableFactory gFactory;

}  // namespace

StringListLoader SetStringListLoader(StringListLoader loader) {
  std::lock_guard lock(gHookMutex);
  std::swap(gLoader, loader);
  return loader;
}

StringListLoader CurrentStringListLoader() {
  std::lock_guard lock(gHookMutex);
  return gLoader;
}

ReconStringTableFactory SetReconStringTableFactory(ReconStringTableFactory factory) {
  std::lock_guard lock(gHookMutex);
  std::swap(gFactory, factory);
  return factory;
}

std::unique_ptr<ReconStringTable> MakeReconStringTable(iResFile& file, ResType type, ResID id) {
  ReconStringTableFactory factory;
  {
    std::lock_guard lock(gHookMutex);
    factory = gFactory;
  }
  return factory ? factory(file, type, id) : nullptr;
}

}  // namespace pixmold

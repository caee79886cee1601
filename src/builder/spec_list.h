// One list of specs in the build context. The context owns every spec; the
// list keeps the order the output passes walk: file order for most kinds,
// newest tag first for the kinds whose later tags must be saved first (so an
// earlier tag wins when two name the same resource).
#pragma once

#include <memory>
#include <vector>

#include "base/ptr_list.h"

namespace pixmold {

enum class SpecOrder { kFileOrder, kNewestFirst };

template <typename T>
class SpecList {
 public:
  explicit SpecList(SpecOrder order) : fOrder(order) {}
  SpecList(const SpecList&) = delete;
  SpecList& operator=(const SpecList&) = delete;

  // Takes the spec and files it; returns it, or null when the list refused it
  // (it is full; the refusal has been reported).
  T* Add(std::unique_ptr<T> spec) {
    T* raw = spec.get();
    const bool added = fOrder == SpecOrder::kFileOrder ? fList.Append(raw) : fList.Prepend(raw);
    if (!added) return nullptr;
    fOwned.push_back(std::move(spec));
    return raw;
  }

  int Count() const { return fList.Count(); }
  bool Empty() const { return fList.Empty(); }
  T* Nth(int index) const { return fList.Nth(index); }
  T* First() const { return fList.Nth(0); }
  // The newest tag of a file-order list, or the oldest of a newest-first one.
  T* Last() const { return fList.Nth(fList.Count() - 1); }

  auto begin() const { return fList.begin(); }
  auto end() const { return fList.end(); }

  void DeleteAll() {
    fList.RemoveAll();
    fOwned.clear();
  }

 private:
  SpecOrder fOrder;
  PtrList<T> fList;
  std::vector<std::unique_ptr<T>> fOwned;
};

}  // namespace pixmold

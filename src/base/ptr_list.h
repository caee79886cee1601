// The system's small container: an ordered list of pointers it never owns.
// Appending or prepending ignores null and pointers already present, which is
// what lets specs be registered in several lists without double counting.
// The count is 16-bit signed as stored; a list refuses to grow past it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>

#include "base/xassert.h"

namespace pixmold {

template <typename T>
class PtrList {
 public:
  static constexpr int kMaxCount = 32767;

  PtrList() = default;
  PtrList(const PtrList&) = delete;
  PtrList& operator=(const PtrList&) = delete;
  PtrList(PtrList&& other) noexcept : fItems(std::move(other.fItems)), fCount(other.fCount) { other.fCount = 0; }
  PtrList& operator=(PtrList&& other) noexcept {
    fItems = std::move(other.fItems);
    fCount = other.fCount;
    other.fCount = 0;
    return *this;
  }
  ~PtrList() { RemoveAll(); }

  bool Append(T* item) {
    if (!Admits(item)) return false;
    fItems.push_back(item);
    ++fCount;
    return true;
  }

  bool Prepend(T* item) {
    if (!Admits(item)) return false;
    fItems.push_front(item);
    ++fCount;
    return true;
  }

  bool Contains(const T* item) const { return std::find(fItems.begin(), fItems.end(), item) != fItems.end(); }

  T* Nth(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= fItems.size()) return nullptr;
    return fItems[static_cast<std::size_t>(index)];
  }

  std::int16_t Count() const {
    XASSERT(static_cast<std::size_t>(fCount) == fItems.size(), "whoops");
    return fCount;
  }

  bool Remove(const T* item) {
    auto it = std::find(fItems.begin(), fItems.end(), item);
    if (it == fItems.end()) return false;
    fItems.erase(it);
    --fCount;
    return true;
  }

  void RemoveAll() {
    fItems.clear();
    fCount = 0;
  }

  bool Empty() const { return fItems.empty(); }

  auto begin() const { return fItems.begin(); }
  auto end() const { return fItems.end(); }

  // The iterator of the list: current() is null once past the end.
  class Iterator {
   public:
    explicit Iterator(const PtrList& list) : fList(list) {}
    T* Current() const { return fList.Nth(fIndex); }
    void Advance() {
      if (fIndex < fList.fCount) ++fIndex;
    }
    void Reset() { fIndex = 0; }

   private:
    const PtrList& fList;
    int fIndex = 0;
  };

 private:
  bool Admits(T* item) const {
    if (item == nullptr || Contains(item)) return false;
    if (fCount >= kMaxCount) {
      XASSERT_FAIL("fCount < 32767", "too many items in ptrlist");
      return false;
    }
    return true;
  }

  std::deque<T*> fItems;
  std::int16_t fCount = 0;
};

}  // namespace pixmold

// Operations on a version 2.5 file for the crash and fault tests: a
// generator that draws adds, replacements, in-place rewrites, removals and
// reopenings (the same seed and model give the same operations), the model
// of what the file holds, and the check that a file left by a failure holds
// every resource in its state before or after the operation that failed.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <random>
#include <set>
#include <string>

#include "iff_test_util.h"
#include "resfile/iff_res_file2.h"

namespace pixmold::testing {

inline constexpr ResType kTypes[] = {MakeResType("SPR2"), MakeResType("STR#"), MakeResType("DGRP")};
inline const char* const kNames[] = {"", "chair", "table lamp", "a name of some length for the header field"};

struct Op {
  enum Kind { kAdd, kReplace, kInPlace, kRemove, kReopen } kind = kReopen;
  ResKey key{};
  ResValue value;  // the new state (for kRemove: none)
};

// Draws operations; the same seed and the same model give the same ones.
class OpSource {
 public:
  // Resources get up to maxSize bytes; without variants every variant is 0.
  explicit OpSource(std::uint32_t seed, int maxSize = 600, bool variants = true)
      : fRandom(seed), fMaxSize(maxSize), fVariants(variants) {}

  Op Next(const Snapshot& model) {
    Op op;
    const int roll = Roll(100);
    if (roll < 3) return op;  // kReopen
    if (model.size() < 6 || (roll < 35 && model.size() < 40)) {
      op.kind = Op::kAdd;
      do {
        op.key = {kTypes[Roll(3)], static_cast<ResID>(1 + Roll(60)),
                  static_cast<std::uint8_t>(Roll(4) == 0 && fVariants)};
      } while (model.count(op.key));
      op.value = {kNames[Roll(4)], testing::Pattern(static_cast<std::size_t>(Roll(fMaxSize)), fRandom())};
      return op;
    }
    auto it = model.begin();
    std::advance(it, Roll(static_cast<int>(model.size())));
    op.key = it->first;
    if (roll < 60) {
      op.kind = Op::kReplace;
      const std::size_t size = Roll(3) == 0 ? it->second.bytes.size() : static_cast<std::size_t>(Roll(fMaxSize));
      op.value = {kNames[Roll(4)], testing::Pattern(size, fRandom())};
    } else if (roll < 80) {
      op.kind = Op::kInPlace;
      op.value = {it->second.name, testing::Pattern(it->second.bytes.size(), fRandom())};
    } else {
      op.kind = Op::kRemove;
    }
    return op;
  }

 private:
  int Roll(int n) { return static_cast<int>(fRandom() % static_cast<std::uint32_t>(n)); }
  std::mt19937 fRandom;
  int fMaxSize;
  bool fVariants;
};

inline void Apply(const Op& op, Snapshot& model) {
  if (op.kind == Op::kRemove) {
    model.erase(op.key);
  } else if (op.kind != Op::kReopen) {
    model[op.key] = op.value;
  }
}

// Carries one operation out; false on any error. Works on either container
// (the first version has no variants: its keys all have variant 0).
template <typename File>
bool Perform(File& file, const std::string& path, const Op& op) {
  switch (op.kind) {
    case Op::kReopen: return file.CloseFile() == res_error::kNone && file.OpenFile(path) == res_error::kNone;
    case Op::kAdd:
    case Op::kReplace:
    case Op::kInPlace: {
      MHandle h = nullptr;
      if (op.kind == Op::kInPlace) {
        h = file.GetVariantResource(op.key.type, op.key.id, op.key.variant, nullptr);
        if (!h || static_cast<std::size_t>(GetHandleSize(h)) != op.value.bytes.size()) return false;
        std::copy(op.value.bytes.begin(), op.value.bytes.end(), HandleLock(h).Data());
      } else {
        h = HandleOf(op.value.bytes);
        const CTGString name(op.value.name);
        const ResErr added = op.key.variant == 0
                                 ? file.AddResource(h, op.key.type, op.key.id, name, true)
                                 : file.AddVariantResource(h, op.key.type, op.key.id, name, op.key.variant, true);
        if (added != res_error::kNone) return false;
      }
      if (file.WriteResource(h)) return false;
      file.ReleaseAndDispose(h);
      return file.GetError() == res_error::kNone;
    }
    case Op::kRemove: {
      MHandle h = file.GetVariantResource(op.key.type, op.key.id, op.key.variant, nullptr);
      return h && file.RemoveResource(h) == res_error::kNone;
    }
  }
  return false;
}

// A file with a map and `count` resources; its model.
template <typename File = IFFResFile2>
Snapshot MakeBase(const std::string& path, std::uint32_t seed, std::size_t count, int maxSize) {
  Snapshot model;
  File file;
  EXPECT_EQ(file.CreateFile(path), res_error::kNone);
  EXPECT_EQ(file.OpenFile(path), res_error::kNone);
  OpSource source(seed, maxSize, std::is_same_v<File, IFFResFile2>);
  while (model.size() < count) {
    Op op = source.Next(model);
    if (op.kind != Op::kAdd) continue;
    EXPECT_TRUE(Perform(file, path, op));
    Apply(op, model);
  }
  EXPECT_EQ(file.CloseFile(), res_error::kNone);
  return model;
}

inline std::string Describe(const Snapshot& s, const ResKey& key) {
  auto it = s.find(key);
  return it == s.end() ? " [absent]"
                       : " [" + it->second.name + ", " + std::to_string(it->second.bytes.size()) + " bytes]";
}

// The states the file may show for one key: before and after the operation
// in flight, and for an in-place rewrite any bytes of the same size.
inline void ExpectConsistent(const Snapshot& found, const Snapshot& before, const Snapshot& after, const Op* inFlight,
                             int kill) {
  std::set<ResKey> keys;
  for (const auto* s : {&found, &before, &after}) {
    for (const auto& [key, value] : *s) keys.insert(key);
  }
  auto same = [](const Snapshot& a, const Snapshot& b, const ResKey& key) {
    const auto x = a.find(key);
    const auto y = b.find(key);
    return (x == a.end()) == (y == b.end()) && (x == a.end() || x->second == y->second);
  };
  for (const ResKey& key : keys) {
    const bool flying = inFlight && inFlight->key == key && inFlight->kind != Op::kReopen;
    const auto f = found.find(key);
    const auto b = before.find(key);
    const bool torn = flying && inFlight->kind == Op::kInPlace && f != found.end() && b != before.end() &&
                      f->second.name == b->second.name && f->second.bytes.size() == b->second.bytes.size();
    EXPECT_TRUE(same(found, before, key) || (flying && (same(found, after, key) || torn)))
        << "kill " << kill << ": type " << ResTypeName(key.type) << " id " << key.id << " variant " << int(key.variant)
        << (flying ? " (in flight)" : " (untouched)") << Describe(found, key) << Describe(before, key)
        << Describe(after, key);
  }
}

}  // namespace pixmold::testing

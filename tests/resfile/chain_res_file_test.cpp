#include "resfile/chain_res_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "resfile/handle_owner.h"
#include "support/assert_capture.h"
#include "support/memory_res_file.h"

namespace pixmold {
namespace {

using testing::MemoryDisk;
using testing::MemoryResFile;
using testing::StoredResource;

constexpr ResType kSPR2 = MakeResType("SPR2");
constexpr ResType kSTR = MakeResType("STR#");
constexpr ResType kDGRP = MakeResType("DGRP");

class ReadOnlyMemoryFile : public MemoryResFile {
 public:
  using MemoryResFile::MemoryResFile;
  bool IsWritable() override { return false; }
};

MHandle HandleOf(std::string_view text) {
  MHandle h = NewHandle(static_cast<std::uint32_t>(text.size()));
  HandleLock lock(h);
  std::copy(text.begin(), text.end(), lock.Data());
  return h;
}

std::string TextOf(MHandle h) {
  HandleLock lock(h);
  return std::string(reinterpret_cast<const char*>(lock.Data()), lock.Size());
}

class ChainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a", "b", "c"}) disk.files[name];
  }
  void Put(const char* file, ResType type, ResID id, std::string text, std::string name = "") {
    disk.files[file].push_back(StoredResource{type, id, std::move(name), 0, true, {text.begin(), text.end()}});
  }
  // Opens the named memory files as a chain's components, in order.
  void Open(std::initializer_list<MemoryResFile*> files, std::initializer_list<const char*> names) {
    auto name = names.begin();
    for (MemoryResFile* file : files) {
      ASSERT_EQ(file->OpenFile(*name++), 0);
      chain.AddFile(file);
    }
  }
  bool Holds(const char* file, ResType type, ResID id) {
    a.CloseFile();
    b.CloseFile();
    c.CloseFile();
    return disk.Find(file, type, id) != nullptr;
  }

  MemoryDisk disk;
  MemoryResFile a{disk};
  MemoryResFile b{disk};
  ReadOnlyMemoryFile c{disk};
  ChainResFile chain;
};

TEST_F(ChainTest, NinthFileIsRefused) {
  std::vector<std::unique_ptr<MemoryResFile>> files;
  for (int i = 0; i < 8; ++i) {
    files.push_back(std::make_unique<MemoryResFile>(disk));
    chain.AddFile(files.back().get());
  }
  testing::AssertCapture capture;
  MemoryResFile ninth(disk);
  chain.AddFile(&ninth);
  EXPECT_TRUE(capture.Saw("not enough room for files"));
  EXPECT_EQ(chain.CountFiles(), 8);
  EXPECT_EQ(chain.GetFile(7), files[7].get());
  EXPECT_EQ(chain.GetFile(8), nullptr);

  chain.RemoveFile(files[2].get());
  EXPECT_EQ(chain.CountFiles(), 7);
  EXPECT_EQ(chain.GetFile(2), files[3].get());
  EXPECT_EQ(chain.GetFile(6), files[7].get());
}

TEST_F(ChainTest, RuleModesCannotBeMixed) {
  chain.AddFile(&a);
  chain.AddFile(&b);
  testing::AssertCapture capture;
  chain.ProhibitType(&a, kSPR2);
  chain.ExclusiveType(&a, kDGRP);
  EXPECT_TRUE(capture.Saw("adding exclusive type on prohibitive Chain File"));
  chain.ExclusiveType(&b, kSPR2);
  chain.ProhibitType(&b, kSTR);
  EXPECT_TRUE(capture.Saw("prohibiting type on exclusively typed Chain File"));
  EXPECT_FALSE(chain.Allows(0, kSPR2));
  EXPECT_TRUE(chain.Allows(0, kDGRP));
  EXPECT_TRUE(chain.Allows(1, kSPR2));
  EXPECT_FALSE(chain.Allows(1, kDGRP));
  EXPECT_FALSE(chain.Allows(1, kSTR));
}

TEST_F(ChainTest, ReadsTakeTheFirstComponentThatHasTheResource) {
  Put("a", kSTR, 1, "from a");
  Put("b", kSTR, 1, "from b");
  Put("b", kSTR, 2, "only b", "second");
  Open({&a, &b}, {"a", "b"});
  MHandle h = chain.GetResource(kSTR, 1, nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(TextOf(h), "from a");
  MHandle second = chain.GetResource(kSTR, 2, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(chain.OwnerOf(second), &b);
  CTGString name;
  chain.GetResName(second, name);
  EXPECT_EQ(name, "second");
  ResID id = 0;
  chain.GetResID(second, id);
  EXPECT_EQ(id, 2);
  EXPECT_EQ(chain.GetResType(second), kSTR);
  EXPECT_EQ(chain.GetNamedResource(kSTR, "second", nullptr), second);

  EXPECT_EQ(chain.GetResource(kSTR, 3, nullptr), nullptr);
  EXPECT_EQ(chain.GetError(), -98);
  EXPECT_EQ(chain.GetNamedResource(kSTR, "none", nullptr), nullptr);
  EXPECT_EQ(chain.GetError(), -99);
  EXPECT_EQ(chain.GetVariantResource(kSTR, 1, 2, nullptr), nullptr);
  EXPECT_EQ(chain.GetError(), -91);
}

TEST_F(ChainTest, CountsAndIndexesSpanTheComponents) {
  Put("a", kSTR, 1, "1");
  Put("b", kDGRP, 5, "5");
  Put("b", kSTR, 7, "7");
  Open({&a, &b}, {"a", "b"});
  EXPECT_EQ(chain.CountTypes(), 2);
  EXPECT_EQ(chain.GetIndType(1), kSTR);
  EXPECT_EQ(chain.GetIndType(2), kDGRP);
  EXPECT_EQ(chain.GetIndType(3), 0u);
  EXPECT_EQ(chain.GetError(), -100);
  EXPECT_EQ(chain.CountResources(kSTR), 2);
  MHandle second = chain.GetIndResource(kSTR, 2, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(TextOf(second), "7");
  EXPECT_EQ(chain.GetIndResource(kSTR, 3, nullptr), nullptr);
  EXPECT_EQ(chain.UniqueID(kSTR), 129);
}

TEST_F(ChainTest, UniqueIdAndNameCoverEveryComponent) {
  Put("b", kSTR, 300, "x", "label");
  Put("a", kSTR, 1, "y", "label2");
  Open({&a, &b}, {"a", "b"});
  EXPECT_EQ(chain.UniqueID(kSTR), 301);
  CTGString name("label");
  chain.UniqueName(kSTR, name);
  EXPECT_EQ(name, "label3");
}

TEST_F(ChainTest, AdditionsFollowTheTypeRules) {
  Open({&a, &b}, {"a", "b"});
  chain.ProhibitType(&a, kSPR2);
  chain.ExclusiveType(&b, kSPR2);
  EXPECT_EQ(chain.GetTargetFileIndex(kSPR2), 1);
  EXPECT_EQ(chain.GetTargetFileIndex(kSTR), 0);

  MHandle sprite = HandleOf("sprite");
  ASSERT_EQ(chain.AddResource(sprite, kSPR2, 128, "chair", true), 0);
  ASSERT_EQ(chain.WriteResource(sprite), 0);
  MHandle strings = HandleOf("strings");
  ASSERT_EQ(chain.AddResource(strings, kSTR, 128, "", true), 0);
  ASSERT_EQ(chain.WriteResource(strings), 0);
  EXPECT_EQ(chain.OwnerOf(sprite), &b);
  EXPECT_EQ(chain.OwnerOf(strings), &a);
  EXPECT_TRUE(Holds("b", kSPR2, 128));
  EXPECT_FALSE(Holds("a", kSPR2, 128));
  EXPECT_TRUE(Holds("a", kSTR, 128));
}

TEST_F(ChainTest, AddingReplacesTheResourceWhereverItIs) {
  Put("b", kSTR, 9, "old");
  Open({&a, &b}, {"a", "b"});
  MHandle fresh = HandleOf("new");
  ASSERT_EQ(chain.AddResource(fresh, kSTR, 9, "", true), 0);
  ASSERT_EQ(chain.WriteResource(fresh), 0);
  EXPECT_TRUE(Holds("a", kSTR, 9));
  EXPECT_FALSE(Holds("b", kSTR, 9));
}

TEST_F(ChainTest, ReaddingTheSameHandleReplacesIt) {
  Put("a", kSTR, 4, "abc");
  Open({&a}, {"a"});
  MHandle h = chain.GetResource(kSTR, 4, nullptr);
  ASSERT_NE(h, nullptr);
  {
    HandleLock lock(h);
    lock.Data()[0] = 'X';
  }
  ASSERT_EQ(chain.AddResource(h, kSTR, 4, "", true), 0);
  ASSERT_EQ(chain.WriteResource(h), 0);
  a.CloseFile();
  const StoredResource* r = disk.Find("a", kSTR, 4);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(std::string(r->bytes.begin(), r->bytes.end()), "Xbc");
}

TEST_F(ChainTest, RefusedAdditionsSayWhy) {
  Open({&a, &c}, {"a", "c"});
  chain.ProhibitType(&a, kSPR2);
  // Allowed only in a component that cannot be written.
  OwnedHandle sprite(HandleOf("s"));
  EXPECT_EQ(chain.AddResource(sprite.Get(), kSPR2, 1, "", true), -92);
  EXPECT_EQ(chain.GetTargetFileIndex(kSPR2), 2);
  chain.ExclusiveType(&c, kDGRP);
  EXPECT_EQ(chain.AddResource(sprite.Get(), kSPR2, 1, "", true), -92);

  ChainResFile readOnly;
  readOnly.AddFile(&c);
  EXPECT_EQ(readOnly.AddResource(sprite.Get(), kSTR, 1, "", true), -94);
  EXPECT_EQ(readOnly.GetTargetFileIndex(kSTR), 1);
  readOnly.RemoveFile(&c);
}

TEST_F(ChainTest, ClosedChainAnswersMinus49) {
  CTGString name;
  EXPECT_EQ(chain.GetResource(kSTR, 1, nullptr), nullptr);
  EXPECT_EQ(chain.GetError(), -49);
  EXPECT_EQ(chain.CountTypes(), 0);
  EXPECT_EQ(chain.GetError(), -49);
  EXPECT_EQ(chain.GetFileName(name), -49);
  OwnedHandle h(HandleOf("x"));
  EXPECT_EQ(chain.AddResource(h.Get(), kSTR, 1, "", true), -49);
  EXPECT_FALSE(chain.IsOpen());
}

TEST_F(ChainTest, UnknownHandlesAreNotTheChains) {
  Open({&a, &b}, {"a", "b"});
  OwnedHandle stranger(HandleOf("x"));
  EXPECT_EQ(chain.ReleaseResource(stranger.Get()), -99);
  EXPECT_EQ(chain.RemoveResource(stranger.Get()), -99);
  EXPECT_EQ(chain.GetResType(stranger.Get()), 0u);
  EXPECT_EQ(chain.GetError(), -98);
}

TEST_F(ChainTest, FileOperationsRunOnEveryComponent) {
  Open({&a, &b}, {"a", "b"});
  b.FailNext(MemoryResFile::Op::kClose, -46);
  EXPECT_EQ(chain.CloseFile(), -46);
  EXPECT_FALSE(a.IsOpen());
  EXPECT_EQ(chain.CreateFile("x"), -50);
}

}  // namespace
}  // namespace pixmold

#include "resfile/chain_res_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "filelib/io_faults.h"
#include "iff_test_util.h"
#include "resfile/iff_res_file2.h"
#include "support/assert_capture.h"
#include "support/memory_res_file.h"
#include "support/res_type_names.h"

namespace pixmold {
namespace {

using namespace testing;

class ReadOnlyMemoryFile : public MemoryResFile {
 public:
  using MemoryResFile::MemoryResFile;
  bool IsWritable() override { return false; }
};

class ChainTest : public ::testing::Test {
 protected:
  void Put(const char* file, ResType type, ResID id, std::string text, std::string name = "") {
    disk.files[file].push_back(StoredResource{type, id, std::move(name), 0, true, {text.begin(), text.end()}});
  }
  // Opens memory files of the same names as the chain's components, in order.
  void Open(std::initializer_list<MemoryResFile*> files) {
    for (MemoryResFile* file : files) {
      const char* name = file == &a ? "a" : file == &b ? "b" : "c";
      disk.files[name];
      ASSERT_EQ(file->OpenFile(name), 0);
      chain.AddFile(file);
    }
  }
  // Adds and writes through the chain; the component that took it.
  iResFile* Add(ResType type, ResID id, std::string_view text) {
    MHandle h = HandleOf(text);
    EXPECT_EQ(chain.AddResource(h, type, id, "", true), 0);
    EXPECT_EQ(chain.WriteResource(h), 0);
    return chain.OwnerOf(h);
  }
  bool Holds(const char* file, ResType type, ResID id) {
    a.CloseFile();
    b.CloseFile();
    return disk.Find(file, type, id) != nullptr;
  }

  MemoryDisk disk;
  MemoryResFile a{disk};
  MemoryResFile b{disk};
  ReadOnlyMemoryFile c{disk};
  ChainResFile chain;
};

TEST_F(ChainTest, NinthFileIsRefusedAndRemovalCloses) {
  std::vector<std::unique_ptr<MemoryResFile>> files;
  for (int i = 0; i < 9; ++i) files.push_back(std::make_unique<MemoryResFile>(disk));
  testing::AssertCapture capture;
  for (auto& file : files) chain.AddFile(file.get());
  EXPECT_TRUE(capture.Saw("not enough room for files"));
  EXPECT_EQ(std::tuple(chain.CountFiles(), chain.GetFile(8)), std::tuple(8, nullptr));
  chain.RemoveFile(files[2].get());
  EXPECT_EQ(std::tuple(chain.CountFiles(), chain.GetFile(2), chain.GetFile(6)),
            std::tuple(7, files[3].get(), files[7].get()));
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
  const ResType types[] = {kSPR2, kDGRP, kSTR};
  const bool allowed[2][3] = {{false, true, true}, {true, false, false}};
  for (int file = 0; file < 2; ++file) {
    for (int t = 0; t < 3; ++t) EXPECT_EQ(chain.Allows(file, types[t]), allowed[file][t]) << file << " " << t;
  }
}

TEST_F(ChainTest, ReadsTakeTheFirstComponentThatHasTheResource) {
  Put("a", kSTR, 1, "from a");
  Put("b", kSTR, 1, "from b");
  Put("b", kSTR, 2, "only b", "second");
  Put("b", kDGRP, 5, "5");
  Put("a", kSTR, 300, "y", "second0");
  Open({&a, &b});
  EXPECT_EQ(TextOf(chain.GetResource(kSTR, 1, nullptr)), "from a");
  MHandle second = chain.GetResource(kSTR, 2, nullptr);
  ASSERT_NE(second, nullptr);
  CTGString name;
  chain.GetResName(second, name);
  EXPECT_EQ(std::tuple(chain.OwnerOf(second), name.Str(), chain.GetNamedResource(kSTR, "second", nullptr)),
            std::tuple(&b, "second", second));
  // Counts and indexes span the components; unique names count from 0, as the containers do.
  chain.UniqueName(kSTR, name);
  EXPECT_EQ((std::tuple{chain.CountTypes(), chain.GetIndType(2), chain.CountResources(kSTR),
                        TextOf(chain.GetIndResource(kSTR, 4, nullptr)), chain.UniqueID(kSTR), name.Str()}),
            std::tuple(2, kDGRP, 4, "only b", 301, "second1"));
  // Each miss has its code.
  OwnedHandle stranger(HandleOf("x"));
  EXPECT_EQ(
      std::vector<ResErr>({Miss(chain, chain.GetResource(kSTR, 3, nullptr)),
                           Miss(chain, chain.GetNamedResource(kSTR, "none", nullptr)),
                           Miss(chain, chain.GetVariantResource(kSTR, 1, 2, nullptr)), Miss(chain, chain.GetIndType(3)),
                           Miss(chain, chain.GetIndResource(kSTR, 5, nullptr)), chain.ReleaseResource(stranger.Get()),
                           chain.RemoveResource(stranger.Get()), Miss(chain, chain.GetResType(stranger.Get()))}),
      std::vector<ResErr>({-98, -99, -91, -100, -98, -99, -99, -98}));
}

TEST_F(ChainTest, AdditionsFollowTheTypeRulesAndReplaceWhereverTheResourceIs) {
  Put("b", kSTR, 9, "old");
  Put("a", kSTR, 4, "abc");
  Open({&a, &b});
  chain.ProhibitType(&a, kSPR2);
  chain.ExclusiveType(&b, kSPR2);
  EXPECT_EQ((std::tuple{chain.GetTargetFileIndex(kSPR2), chain.GetTargetFileIndex(kSTR), Add(kSPR2, 128, "sprite"),
                        Add(kSTR, 128, "strings"), Add(kSTR, 9, "new")}),
            (std::tuple<int, int, iResFile*, iResFile*, iResFile*>(1, 0, &b, &a, &a)));
  // Re-adding a handle the chain gave out replaces it.
  MHandle h = chain.GetResource(kSTR, 4, nullptr);
  HandleLock(h).Data()[0] = 'X';
  ASSERT_EQ(chain.AddResource(h, kSTR, 4, "", true), 0);
  ASSERT_EQ(chain.WriteResource(h), 0);
  EXPECT_EQ(std::vector<bool>({Holds("b", kSPR2, 128), Holds("a", kSPR2, 128), Holds("a", kSTR, 128),
                               Holds("a", kSTR, 9), Holds("b", kSTR, 9)}),
            std::vector<bool>({true, false, true, true, false}));
  const StoredResource* r = disk.Find("a", kSTR, 4);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(std::string(r->bytes.begin(), r->bytes.end()), "Xbc");
}

TEST_F(ChainTest, RefusedAdditionsSayWhy) {
  OwnedHandle h(HandleOf("s"));
  EXPECT_EQ(chain.AddResource(h.Get(), kSTR, 1, "", true), -49) << "an empty chain is closed";
  EXPECT_EQ(Miss(chain, chain.GetResource(kSTR, 1, nullptr)), -49);
  CTGString name;
  EXPECT_EQ(chain.GetFileName(name), -49);
  Open({&a, &c});
  chain.ProhibitType(&a, kSPR2);
  // Allowed only in a component that cannot be written.
  EXPECT_EQ(chain.AddResource(h.Get(), kSPR2, 1, "", true), -92);
  EXPECT_EQ(chain.GetTargetFileIndex(kSPR2), 2);
  ChainResFile readOnly;
  readOnly.AddFile(&c);
  EXPECT_EQ(readOnly.AddResource(h.Get(), kSTR, 1, "", true), -94);
  EXPECT_EQ(readOnly.GetTargetFileIndex(kSTR), 1);
  readOnly.RemoveFile(&c);
}

TEST_F(ChainTest, FileOperationsRunOnEveryComponent) {
  Open({&a, &b});
  b.FailNext(MemoryResFile::Op::kClose, -46);
  EXPECT_EQ((std::tuple{chain.CloseFile(), a.IsOpen(), chain.CreateFile("x")}), std::tuple(-46, false, -50));
}

// A new container file holding these resources, each under id 1.
void MakeContainer(const std::string& path, const std::vector<std::pair<ResType, MHandle>>& resources, bool native) {
  IFFResFile2 file;
  ASSERT_EQ(file.CreateFile(path), 0);
  ASSERT_EQ(file.OpenFile(path), 0);
  for (const auto& [type, h] : resources) {
    ASSERT_EQ(file.AddResource(h, type, 1, "", native), 0);
  }
  ASSERT_EQ(file.CloseFile(), 0);
}

// Two containers made with the resources given, opened and chained in
// that order.
struct TwoParts {
  using Resources = std::vector<std::pair<ResType, MHandle>>;
  TwoParts(const TempDir& dir, const Resources& inFirst, const Resources& inSecond, bool native)
      : first(dir.File("first.iff")), second(dir.File("second.iff")) {
    MakeContainer(first, inFirst, native);
    MakeContainer(second, inSecond, native);
    EXPECT_EQ(a.OpenFile(first), 0);
    EXPECT_EQ(b.OpenFile(second), 0);
    chain.AddFile(&a);
    chain.AddFile(&b);
  }
  const std::string first;
  const std::string second;
  IFFResFile2 a;
  IFFResFile2 b;
  ChainResFile chain;
};

// A replacement in the component that holds the resource keeps the old
// bytes on disk until the new ones are written, so a process killed in
// between leaves the old resource; one that must move to another component
// still moves.
TEST(ChainOnDisk, ReplacementKeepsTheOldResourceOnDiskUntilTheNewIsWritten) {
  TempDir dir;
  TwoParts parts(dir, {{kSTR, HandleOf("old strings")}}, {{kSPR2, HandleOf("old sprite")}}, true);
  const std::string& first = parts.first;
  const std::string& second = parts.second;
  ChainResFile& chain = parts.chain;
  // Sprites go to the first component: the one in the second moves.
  chain.ProhibitType(&parts.b, kSPR2);
  auto onDisk = [](const std::string& path, ResType type) {
    IFFResFile2 reader;
    EXPECT_EQ(reader.OpenFile(path), 0);
    MHandle h = reader.GetResource(type, 1, nullptr);
    return h ? TextOf(h) : std::string("<absent>");
  };
  MHandle strings = HandleOf("new strings");
  ASSERT_EQ(chain.AddResource(strings, kSTR, 1, "", true), 0);
  EXPECT_EQ(onDisk(first, kSTR), "old strings");
  ASSERT_EQ(chain.WriteResource(strings), 0);
  EXPECT_EQ(onDisk(first, kSTR), "new strings");
  MHandle sprite = HandleOf("new sprite");
  ASSERT_EQ(chain.AddResource(sprite, kSPR2, 1, "", true), 0);
  ASSERT_EQ(chain.WriteResource(sprite), 0);
  EXPECT_EQ(onDisk(first, kSPR2) + "," + onDisk(second, kSPR2), "new sprite,<absent>");
}

// A rebuild replaces each resource in the component that holds it: the old
// bytes stay on disk until the new ones are written and are never loaded.
TEST(ChainOnDisk, ReplacingWhereTheResourceLivesLoadsNothing) {
  TempDir dir;
  const std::string path = dir.File("sprites.iff");
  {
    IFFResFile2 file;
    ASSERT_EQ(file.CreateFile(path), 0);
    ASSERT_EQ(file.OpenFile(path), 0);
    ASSERT_EQ(file.AddResource(HandleOf(Pattern(100000, 1)), kSPR2, 1, "", true), 0);
    ASSERT_EQ(file.CloseFile(), 0);
  }
  IFFResFile2 component;
  ASSERT_EQ(component.OpenFile(path), 0);
  ChainResFile chain;
  chain.AddFile(&component);
  MHandle h = HandleOf(Pattern(100000, 2));
  {
    IoFaults counter;
    ASSERT_EQ(chain.AddResource(h, kSPR2, 1, "", true), 0);
    EXPECT_EQ(counter.Calls(IoOp::kRead), 0);
  }
  ASSERT_EQ(chain.WriteResource(h), 0);
  ASSERT_EQ(component.CloseFile(), 0);
  IFFResFile2 reader;
  ASSERT_EQ(reader.OpenFile(path), 0);
  MHandle found = reader.GetResource(kSPR2, 1, nullptr);
  EXPECT_EQ(found ? BytesOf(found) : Bytes{}, Pattern(100000, 2));
}

// A rebuild's unchanged resource is kept by the component it would go to,
// and only when no component before that one holds one too: the addition
// would take that one away.
TEST(ChainOnDisk, AnUnchangedResourceIsKeptWhereItWouldGo) {
  TempDir dir;
  const Bytes bytes = Pattern(5000, 3);
  TwoParts parts(dir, {{kSTR, HandleOf(bytes)}, {kSPR2, HandleOf(Pattern(5000, 4))}},
                 {{kSTR, HandleOf(bytes)}, {kSPR2, HandleOf(bytes)}}, false);
  ChainResFile& chain = parts.chain;
  // Sprites go to the second component, whose sprite the first's hides.
  chain.ProhibitType(&parts.a, kSPR2);
  const std::span<const std::uint8_t> whole(bytes);
  EXPECT_TRUE(chain.KeepIfUnchanged(kSTR, 1, CTGString(), false, {&whole, 1}));
  EXPECT_FALSE(chain.KeepIfUnchanged(kSPR2, 1, CTGString(), false, {&whole, 1})) << "hidden by the first component";
  EXPECT_FALSE(chain.KeepIfUnchanged(kSTR, 2, CTGString(), false, {&whole, 1}));
}

}  // namespace
}  // namespace pixmold

// Objects with one part damaged, cut short, of another kind, held by another
// process or read-only, under every command that writes and every command
// that reads. A command that writes refuses before anything changes (exit
// 1, the part and what is wrong with it named, not one byte changed); one
// that reads names what it cannot read and goes on with the rest. A torn
// append is the one damage a write repairs: it is cut away without a word.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/object_file_fixture.h"

namespace pixmold {
namespace {

using testing::ObjdFields;
using testing::ObjdResource;
using testing::StoredResource;

constexpr ResType kSTR = MakeResType("STR#");
constexpr ResType kSPR2 = MakeResType("SPR2");

enum class Damage {
  kBadHeader,        // obj.iff: a block's size zeroed, no map: the walk stops there
  kTornTail,         // obj.spf: an append whose bytes never all arrived
  kFreePastEnd,      // obj.spf: a free block's size, blocks after it, runs past the end
  kCutShort,         // obj.spf: ten bytes left
  kOtherFormat,      // obj.spf: a PNG under the part's name
  kBadBlockGoodMap,  // obj.iff: the map is whole, one block's type is not
  kInUse,            // obj.spf: another process holds it (--no-wait)
  kReadInUse,        // obj.iff: another process reads it (--no-wait)
  kReadOnly,         // obj.iff: no write permission for anyone
  kDanglingPart,     // obj.spf: a symbolic link to nothing
};

const char* Name(Damage damage) {
  switch (damage) {
    case Damage::kBadHeader: return "bad header";
    case Damage::kTornTail: return "torn tail";
    case Damage::kFreePastEnd: return "free block past the end";
    case Damage::kCutShort: return "cut short";
    case Damage::kOtherFormat: return "other format";
    case Damage::kBadBlockGoodMap: return "bad block, good map";
    case Damage::kInUse: return "in use";
    case Damage::kReadInUse: return "read by another";
    case Damage::kReadOnly: return "read-only";
    case Damage::kDanglingPart: return "dangling part";
  }
  return "";
}

// "$" in the texts stands for the directory, as in the other tables.
struct Row {
  Damage damage;
  std::string args;
  int status;
  std::vector<std::string> err;  // fragments, or "=" and the whole text
  bool unchanged;                // neither part's bytes may change
  std::string out = {};          // a fragment standard output must hold
  std::string lsAfter = {};      // a fragment `ls` must show afterwards
};

StoredResource TextResource(ResType type, ResID id, std::string text) {
  return StoredResource{type, id, "", 0, true, std::vector<std::uint8_t>(text.begin(), text.end())};
}

// The offset of the first block of a type and id, by walking the blocks.
std::size_t BlockOffset(const std::vector<unsigned char>& file, const char* type, ResID id) {
  for (std::size_t at = 64; at + 76 <= file.size();) {
    const std::size_t size =
        (std::size_t{file[at + 4]} << 24) | (file[at + 5] << 16) | (file[at + 6] << 8) | file[at + 7];
    const auto blockId = static_cast<ResID>((file[at + 8] << 8) | file[at + 9]);
    if (std::equal(type, type + 4, file.begin() + static_cast<std::ptrdiff_t>(at)) && blockId == id) return at;
    if (size < 76) break;
    at += size;
  }
  ADD_FAILURE() << "no block " << type << " " << id;
  return 64;
}

void PutBE32(std::vector<unsigned char>& file, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    file[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

void Damaged(const testing::TempDir& dir, Damage damage) {
  const std::string iff = dir.File("obj.iff");
  const std::string spf = dir.File("obj.spf");
  std::vector<unsigned char> iffBytes = testing::ReadAll(iff);
  std::vector<unsigned char> spfBytes = testing::ReadAll(spf);
  switch (damage) {
    case Damage::kBadHeader:
      PutBE32(iffBytes, 60, 0);
      PutBE32(iffBytes, BlockOffset(iffBytes, "STR#", 2) + 4, 0);
      break;
    case Damage::kTornTail: {
      PutBE32(spfBytes, 60, 0);
      std::vector<unsigned char> header(76, 0);
      std::copy_n("XXXX", 4, header.begin());
      PutBE32(header, 4, 76 + 5000);
      header[11] = 4;  // free
      spfBytes.insert(spfBytes.end(), header.begin(), header.end());
      spfBytes.resize(spfBytes.size() + 100, 0xEE);
      break;
    }
    case Damage::kFreePastEnd: {
      // SPR2 1 freed, and its size then damaged: SPR2 2 still follows it.
      PutBE32(spfBytes, 60, 0);
      const std::size_t freed = BlockOffset(spfBytes, "SPR2", 1);
      std::copy_n("XXXX", 4, spfBytes.begin() + static_cast<std::ptrdiff_t>(freed));
      spfBytes[freed + 11] |= 4;
      PutBE32(spfBytes, freed + 4, static_cast<std::uint32_t>(spfBytes.size() - freed + 5000));
      break;
    }
    case Damage::kCutShort: spfBytes.resize(10); break;
    case Damage::kOtherFormat:
      spfBytes.assign({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
      spfBytes.resize(200, 0);
      break;
    case Damage::kBadBlockGoodMap: iffBytes[BlockOffset(iffBytes, "STR#", 2) + 3] = '%'; break;
    case Damage::kInUse:
    case Damage::kReadInUse:
    case Damage::kReadOnly:
    case Damage::kDanglingPart: break;
  }
  dir.Write("obj.iff", iffBytes);
  dir.Write("obj.spf", spfBytes);
  if (damage == Damage::kReadOnly) std::filesystem::permissions(iff, std::filesystem::perms::owner_read);
  if (damage == Damage::kDanglingPart) {
    std::filesystem::remove(spf);
    std::filesystem::create_symlink(dir.File("nowhere.spf"), spf);
  }
}

TEST(DamagedParts, WritersRefuseAndReadersGoOn) {
  const std::string iffNamed = "pixmold add: $obj.iff: at offset ";
  const std::string badHeader = "bad header found: damaged block header (type STR#, id 2, size 0)";
  const std::string inUse = "obj.spf is in use by another process\n";
  const std::string readOnly = "$obj.iff is read-only (no write permission); nothing was changed\n";
  const Row rows[] = {
      // Damage the walk cannot see past: the blocks after it may be whole.
      {Damage::kBadHeader,
       "add $obj STR# 9",
       1,
       {iffNamed, badHeader + ": a block is at least its 76-byte header; the blocks after it cannot be found; nothing "
                              "was changed\n"},
       true},
      {Damage::kBadHeader, "rm $obj STR# 3", 1, {"pixmold rm: $obj.iff: at offset ", badHeader}, true},
      {Damage::kBadHeader, "build -q $obj.iff", 1, {"fatal error: obj.iff: at offset ", badHeader}, true},
      {Damage::kBadHeader, "ls $obj", 0, {"pixmold ls: warning: $obj.iff: at offset "}, true, "STR#\t1\t"},
      {Damage::kBadHeader, "cat $obj STR# 1", 0, {"pixmold cat: warning: $obj.iff"}, true, "one"},
      {Damage::kBadHeader, "dump $obj OBJD 128", 0, {"pixmold dump: warning: $obj.iff"}, true, "Chair"},
      {Damage::kBadHeader, "objects $obj", 0, {"pixmold objects: warning: $obj.iff"}, true, "Chair"},
      {Damage::kBadHeader, "preview $obj SPR2 1 -o $frames", 1, {"pixmold preview: warning: $obj.iff"}, true},

      // What a full disk or a file-size limit leaves: cut by the next write.
      {Damage::kTornTail, "add $obj SPR2 9", 0, {"="}, false, "", "SPR2\t9\t"},
      {Damage::kTornTail, "build -q $obj.iff", 0, {"="}, false, "", "SPR2\t2\t"},
      {Damage::kTornTail, "ls $obj", 0, {"="}, true, "SPR2\t2\t"},

      // The same header with whole blocks after it is damage, not a tail.
      {Damage::kFreePastEnd,
       "add $obj SPR2 9",
       1,
       {"pixmold add: $obj.spf: at offset ", "(type XXXX, id 1, size ", "runs 5000 bytes past the end"},
       true},
      {Damage::kFreePastEnd, "build -q $obj.iff", 1, {"fatal error: obj.spf: at offset "}, true},
      {Damage::kFreePastEnd, "ls $obj", 0, {"pixmold ls: warning: $obj.spf: at offset "}, true, "STR#\t3\t"},

      // A part that does not open is never skipped in silence.
      {Damage::kCutShort,
       "ls $obj",
       0,
       {"pixmold ls: warning: $obj.spf: not a resource file: 10 bytes"},
       true,
       "STR#\t3\t"},
      {Damage::kCutShort,
       "add $obj SPR2 9",
       1,
       {"pixmold add: $obj.spf: not a resource file", "nothing was changed"},
       true},
      {Damage::kCutShort, "add $obj STR# 9", 1, {"pixmold add: $obj.spf: not a resource file"}, true},
      {Damage::kCutShort, "build -q $obj.iff", 1, {"fatal error: obj.spf: not a resource file"}, true},
      {Damage::kCutShort, "cat $obj STR# 1", 0, {"pixmold cat: warning: $obj.spf"}, true, "one"},
      {Damage::kOtherFormat,
       "ls $obj",
       0,
       {"warning: $obj.spf: not a resource file: it does not start with an IFF"},
       true,
       "OBJD\t128\t"},
      {Damage::kOtherFormat, "rm $obj STR# 1", 1, {"pixmold rm: $obj.spf: not a resource file"}, true},
      {Damage::kOtherFormat, "objects $obj", 0, {"pixmold objects: warning: $obj.spf"}, true, "Chair"},

      // A map that lists a block whose header disagrees: the part, the
      // offset and what is wrong, not a bare code.
      {Damage::kBadBlockGoodMap,
       "ls $obj",
       1,
       {"pixmold ls: $obj.iff: at offset ", "the block of a STR# resource holds a STR% block instead"},
       true},
      {Damage::kBadBlockGoodMap, "cat $obj STR# 2", 1, {"pixmold cat: $obj.iff: at offset "}, true},

      // A part in use fails the command whole: nothing read or written.
      {Damage::kInUse, "ls --no-wait $obj", 1, {"=pixmold ls: $" + inUse}, true},
      {Damage::kInUse, "cat --no-wait $obj STR# 1", 1, {"=pixmold cat: $" + inUse}, true},
      {Damage::kInUse, "objects --no-wait $obj", 1, {"=pixmold objects: $" + inUse}, true},
      {Damage::kInUse, "add --no-wait $obj STR# 9", 1, {"=pixmold add: $" + inUse}, true},
      {Damage::kInUse, "rm --no-wait $obj STR# 1", 1, {"=pixmold rm: $" + inUse}, true},
      {Damage::kInUse, "build --no-wait -q $obj.iff", 1, {"fatal error: " + inUse}, true},
      // A reader's lock keeps writers out, and lets readers in.
      {Damage::kReadInUse,
       "add --no-wait $obj STR# 9",
       1,
       {"=pixmold add: $obj.iff is in use by another process\n"},
       true},
      {Damage::kReadInUse,
       "build --no-wait -q $obj.iff",
       1,
       {"fatal error: obj.iff is in use by another process"},
       true},
      {Damage::kReadInUse, "ls --no-wait $obj", 0, {"="}, true, "SPR2\t2\t"},

      // A part that is a link to nothing is a part that does not open.
      {Damage::kDanglingPart,
       "ls $obj",
       0,
       {"pixmold ls: warning: $obj.spf: No such file or directory"},
       true,
       "STR#\t2\t"},
      {Damage::kDanglingPart, "add $obj SPR2 9", 1, {"pixmold add: $obj.spf: No such file or directory"}, true},

      // A read-only object: named, and a dry run still checks it.
      {Damage::kReadOnly, "add $obj STR# 9", 1, {"=pixmold add: " + readOnly}, true},
      {Damage::kReadOnly, "rm $obj STR# 1", 1, {"=pixmold rm: " + readOnly}, true},
      {Damage::kReadOnly,
       "build -q $obj.iff",
       1,
       {"object file not writable", "pixmold build: $obj.iff: read-only (no write permission)"},
       true},
      {Damage::kReadOnly, "build -q --dry-run $obj.iff", 0, {"warning: $obj.iff is read-only"}, true},
      {Damage::kReadOnly, "ls $obj", 0, {"="}, true, "STR#\t2\t"},
  };
  for (const Row& row : rows) {
    const std::string what = std::string(Name(row.damage)) + ": " + row.args;
    SCOPED_TRACE(what);
    testing::TempDir dir;
    testing::WriteObjectFile(dir.File("obj.iff"),
                             {ObjdResource(128, "Chair", ObjdFields{}), TextResource(kSTR, 1, "one"),
                              TextResource(kSTR, 2, "two"), TextResource(kSTR, 3, "three")});
    testing::WriteObjectFile(dir.File("obj.spf"),
                             {TextResource(kSPR2, 1, "sprite one"), TextResource(kSPR2, 2, "sprite two")});
    dir.Write("obj.omk", "");
    Damaged(dir, row.damage);
    const auto iffBefore = testing::ReadAll(dir.File("obj.iff"));
    const auto spfBefore = testing::ReadAll(dir.File("obj.spf"));
    int holder = -1;
    if (row.damage == Damage::kInUse || row.damage == Damage::kReadInUse) {
      const bool reader = row.damage == Damage::kReadInUse;
      holder = open(dir.File(reader ? "obj.iff" : "obj.spf").c_str(), O_RDWR | O_CLOEXEC);
      ASSERT_EQ(flock(holder, (reader ? LOCK_SH : LOCK_EX) | LOCK_NB), 0);
    }
    const testing::CliRun run = testing::RunCli(dir, testing::Expand(row.args, dir), "x");
    if (holder >= 0) close(holder);
    EXPECT_EQ(run.status, row.status) << run.err;
    for (const std::string& fragment : row.err) testing::ExpectShows(run.err, testing::Expand(fragment, dir), "error");
    if (!row.out.empty()) testing::ExpectShows(run.out, row.out, "output");
    if (row.unchanged) {
      EXPECT_TRUE(testing::ReadAll(dir.File("obj.iff")) == iffBefore) << "obj.iff changed";
      EXPECT_TRUE(testing::ReadAll(dir.File("obj.spf")) == spfBefore) << "obj.spf changed";
      EXPECT_FALSE(std::filesystem::exists(dir.File("nowhere.spf"))) << "written through a link";
    }
    if (!row.lsAfter.empty()) {
      const testing::CliRun listed = testing::RunCli(dir, "ls " + testing::Quote(dir.File("obj")));
      EXPECT_EQ(listed.err, "");
      for (const char* kept : {"STR#\t3\t", "SPR2\t1\t", "SPR2\t2\t"}) {
        EXPECT_NE(listed.out.find(kept), std::string::npos) << kept << " lost:\n" << listed.out;
      }
      EXPECT_NE(listed.out.find(row.lsAfter), std::string::npos) << listed.out;
    }
  }
}

}  // namespace
}  // namespace pixmold

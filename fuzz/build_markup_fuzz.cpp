// The markup pass and the sprite pass of a build (tags read into specs, the
// nesting rules, target lookups, pair groups, then every sheet rendered,
// masked, trimmed and compressed, and the draw groups given their offsets)
// on arbitrary ".omk" bytes, against a small object file and a folder of
// tiny sheets, all kept in memory. It runs as a build's worker thread does,
// so a broken invariant ends the build with a fatal error, as it would.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <span>
#include <vector>

#include "base/report.h"
#include "base/terminate.h"
#include "base/xassert.h"
#include "builder/build_args.h"
#include "builder/build_context.h"
#include "builder/output_passes.h"
#include "builder/tag_dispatch.h"
#include "filelib/ctg_file_manager.h"
#include "filelib/memory_file_system.h"
#include "markup/memory_scanner.h"
#include "markup/tag_list.h"
#include "markup/tag_parser.h"
#include "resfile/iff_res_file2.h"

namespace {

using namespace pixmold;
using Bytes = std::vector<unsigned char>;

void PutLE(Bytes& out, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// Uncompressed, top row first; pixel gives 0xAARRGGBB.
Bytes Tga(int width, int height, int bits, const std::function<std::uint32_t(int, int)>& pixel) {
  Bytes out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  PutLE(out, static_cast<std::uint32_t>(width), 2);
  PutLE(out, static_cast<std::uint32_t>(height), 2);
  out.push_back(static_cast<unsigned char>(bits));
  out.push_back(bits == 32 ? 0x28 : 0x20);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) PutLE(out, pixel(x, y), bits / 8);
  return out;
}

// 8-bit, a grey ramp palette, rows bottom-up padded to 4 bytes.
Bytes Bmp(int width, int height, const std::function<std::uint8_t(int, int)>& index) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 3) & ~3u;
  const std::uint32_t offset = 14 + 40 + 256 * 4;
  Bytes out = {'B', 'M'};
  for (std::uint32_t field : {offset + stride * height, 0u, offset, 40u}) PutLE(out, field, 4);
  PutLE(out, static_cast<std::uint32_t>(width), 4);
  PutLE(out, static_cast<std::uint32_t>(height), 4);
  PutLE(out, 1, 2);
  PutLE(out, 8, 2);
  for (std::uint32_t field : {0u, stride * height, 2835u, 2835u, 0u, 0u}) PutLE(out, field, 4);
  for (std::uint32_t i = 0; i < 256; ++i) PutLE(out, i * 0x010101u, 4);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) out.push_back(index(x, y));
    out.resize(out.size() + stride - static_cast<std::uint32_t>(width), 0);
  }
  return out;
}

bool Drawn(int x, int y) { return (x | y) != 0 && (x * 5 + y * 3) % 4 != 0; }
std::uint32_t Render(int x, int y) {
  return Drawn(x, y) ? (static_cast<std::uint32_t>(x * 7 + y) % 250) << 24 : 0xFF000000u;
}
std::uint8_t Colour(int x, int y) { return Drawn(x, y) ? static_cast<std::uint8_t>(20 + x + y) : 1; }

void AddDefinition(iResFile& file, ResID id, const char* name, std::uint16_t version, std::size_t size,
                   std::uint32_t guid) {
  MHandle handle = NewHandle(static_cast<std::uint32_t>(size));
  std::uint8_t* bytes = HLock(handle);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
  bytes[0] = static_cast<std::uint8_t>(version & 0xFF);
  bytes[1] = static_cast<std::uint8_t>(version >> 8);
  for (int i = 0; i < 4; ++i) bytes[28 + i] = static_cast<std::uint8_t>(guid >> (8 * i));
  HUnlock(handle);
  file.AddResource(handle, MakeResType("OBJD"), id, CTGString(name), true);
  file.WriteResource(handle);
}

// Sheets of 56 x 16 (two rows of 8, 4 and 2 pixel cells, four columns),
// one with an alpha image, one of 24 bits whose palette image differs in
// letter case, a mask, and a headline sheet. The process-wide file library
// reads them from memory.
struct Images {
  Images() {
    CTGFileManager::Get().SetFileSystem(files);
    files.MakeDirectories("/objects");
    const auto add = [&](const char* path, const Bytes& bytes) { files.AddFile(path, bytes); };
    add("/images/a.tga", Tga(56, 16, 32, Render));
    add("/images/a.bmp", Bmp(56, 16, Colour));
    add("/images/b.tga", Tga(56, 16, 24, Render));
    add("/images/B.BMP", Bmp(56, 16, Colour));
    add("/images/c.tga", Tga(56, 16, 32, Render));
    add("/images/c.bmp", Bmp(56, 16, Colour));
    add("/images/calpha.tga", Tga(56, 16, 24, [](int x, int y) { return (x * 37u + y * 11u) % 256u * 0x010101u; }));
    add("/images/m.bmp", Bmp(56, 8, [](int x, int y) { return static_cast<std::uint8_t>((x + y) % 3 == 0); }));
    add("/images/h.tga", Tga(116, 98, 32, Render));
    add("/images/h.bmp", Bmp(116, 98, Colour));
  }
  MemoryFileSystem files;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Images images;
  static std::ostream nowhere(nullptr);
  ScopedReportTarget report(ReportTarget{&nowhere, nullptr, nullptr, nullptr});
  ScopedWorkerThread worker;

  // Three objects: two current definitions and one of an older version.
  IFFResFile2 file;
  file.CreateFile("/objects/chair.iff");
  file.OpenFile("/objects/chair.iff");
  AddDefinition(file, 128, "chair", 138, 216, 1);
  AddDefinition(file, 129, "chair - red", 138, 216, 2);
  AddDefinition(file, 130, "lamp", 137, 160, 3);

  TagList tags;
  MemoryScanner source(std::span<const std::uint8_t>(data, size));
  ReadTags(source, tags);
  BuildArgs args;
  args.fTgaDirectory = "/images/";
  args.fContext = std::make_unique<BuildContext>(&file);
  try {
    DispatchTags(*args.fContext, tags);
    GenerateSprites(args, file, *args.fContext);
    WriteSpriteLists(args, file, *args.fContext);
    for (DGRPSpec* group : args.fContext->drawGroups) group->Save(file);
  } catch (const Terminate&) {
    // A fatal error ends the build, as it ends a build.
  }
  ClearWorkerThread();
  file.CloseFile();
  return 0;
}

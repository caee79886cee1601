#include "imaging/offscreen.h"

#include <algorithm>
#include <memory>
#include <new>

#include "base/report.h"
#include "base/xassert.h"
#include "filelib/ctg_file_manager.h"
#include "imaging/pal_wrap.h"

namespace pixmold {

Offscreen::~Offscreen() { Dispose(); }

void Offscreen::SetLayout(std::uint8_t* memory, int width, int height, int stride) {
  // Bottom-up: the top row is the last one in memory.
  fBaseAddr = memory + static_cast<std::ptrdiff_t>(height - 1) * stride;
  fRowBytes = -stride;
  fPortRect = Rect::Make(0, 0, width, height);
}

bool Offscreen::Create(const Rect& bounds, PalWrap* palette) { return Make(bounds, palette, true); }

bool Offscreen::CreateForOverwrite(const Rect& bounds, PalWrap* palette) { return Make(bounds, palette, false); }

bool Offscreen::Make(const Rect& bounds, PalWrap* palette, bool zeroed) {
  Discard();
  const std::int64_t width = bounds.Width();
  const std::int64_t height = bounds.Height();
  if (bounds.IsEmpty()) {
    XASSERT_FAIL("fWorld", "could not create dib section");
    return false;
  }
  const std::int64_t stride = (width + 3) & ~std::int64_t{3};
  if (width * height > kMaxPixels) {
    XASSERT_FAIL("fWorld", "could not create dib section: offscreen larger than 16384 x 16384 pixels");
    return false;
  }
  const auto size = static_cast<std::size_t>(stride * height);
  if (size > fWorldSize) {
    fWorld.reset();
    fWorldSize = 0;
    try {
      fWorld = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    } catch (const std::bad_alloc&) {
      XASSERT_FAIL("fWorld", "could not create dib section");
      return false;
    }
    fWorldSize = size;
  }
  if (zeroed) {
    std::fill_n(fWorld.get(), size, std::uint8_t{0});
  } else if (stride != width) {
    for (std::int64_t row = 0; row < height; ++row) {
      std::fill(fWorld.get() + row * stride + width, fWorld.get() + (row + 1) * stride, std::uint8_t{0});
    }
  }
  fPalette = palette ? palette : &GetGlobalPalette();
  fPalette->AddRef();
  SetLayout(fWorld.get(), static_cast<int>(width), static_cast<int>(height), static_cast<int>(stride));
  return true;
}

bool Offscreen::Adopt(std::span<std::uint8_t> pixels, int width, int height, int stride) {
  if (Exists()) {
    XASSERT_FAIL("!Exists()", "can't set when already allocated");
    return false;
  }
  if (width <= 0 || height <= 0 || width > 0x7FFF || height > 0x7FFF || stride < width ||
      pixels.size() < static_cast<std::size_t>(stride) * static_cast<std::size_t>(height)) {
    XASSERT_FAIL("false", "could not GetObject on a perfectly good dib section");
    return false;
  }
  if (stride % 4 != 0) ReportLine("Warning: fRowBytes isn't a multiple of 4...strange behavior may result.");
  fAdopted = true;
  fPalette = &GetGlobalPalette();
  fPalette->AddRef();
  SetLayout(pixels.data(), width, height, stride);
  return true;
}

void Offscreen::Dispose() {
  Discard();
  fWorld.reset();
  fWorldSize = 0;
}

void Offscreen::Discard() {
  if (fDrawing) EndDrawing();
  if (fPalette) fPalette->ReleaseRef();
  fAdopted = false;
  fPortRect = Rect{};
  fPalette = nullptr;
  fBaseAddr = nullptr;
  fRowBytes = 0;
}

std::uint8_t* Offscreen::GetBaseAddr() const {
  XASSERT(fBaseAddr, "getting base of unlocked offscreen");
  return fBaseAddr;
}

void Offscreen::GetSize(int& width, int& height) const {
  width = Width();
  height = Height();
}

bool Offscreen::CheckPointer(const std::uint8_t* address, std::size_t length) const {
  if (!fBaseAddr) {
    XASSERT_FAIL("fBaseAddr", "CheckPointer called on unlocked offscreen");
    return false;
  }
  // Compare as integers: the address may belong to another object entirely.
  const std::uintptr_t low = reinterpret_cast<std::uintptr_t>(Row(fPortRect.Height() - 1));
  const std::uintptr_t high = reinterpret_cast<std::uintptr_t>(fBaseAddr) - static_cast<std::uintptr_t>(fRowBytes);
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(address);
  return start >= low && start <= high && length <= high - start;
}

Offscreen::DrawTarget Offscreen::BeginDrawing(const Rect* clip) {
  DrawTarget target;
  IntersectRect(clip ? *clip : fPortRect, fPortRect, target.clip);
  if (!fDrawing) {
    fSavedPort = GetPort();
    fDrawing = true;
  }
  SetPort(DrawingPort{nullptr, this});
  target.base = fBaseAddr;
  target.rowBytes = fRowBytes;
  return target;
}

void Offscreen::EndDrawing() {
  if (!fDrawing) return;
  SetPort(fSavedPort);
  fDrawing = false;
}

void Offscreen::Flip(bool horizontal, bool vertical) {
  if (!fBaseAddr) {
    XASSERT_FAIL("fBaseAddr", "flipping unlocked offscreen");
    return;
  }
  if (!(fPortRect.left == 0 && fPortRect.top == 0)) {
    XASSERT_FAIL("portRect.left==0 && portRect.top==0", "unexpected top,left!=0,0");
    return;
  }
  const int width = fPortRect.Width();
  const int height = fPortRect.Height();
  if (vertical) {
    std::vector<std::uint8_t> temp(static_cast<std::size_t>(width));
    for (int i = 0; i < height / 2; ++i) {
      std::uint8_t* top = Row(i);
      std::uint8_t* bottom = Row(height - 1 - i);
      std::copy(top, top + width, temp.data());
      std::copy(bottom, bottom + width, top);
      std::copy(temp.begin(), temp.end(), bottom);
    }
  }
  if (horizontal) {
    for (int y = 0; y < height; ++y) std::reverse(Row(y), Row(y) + width);
  }
}

bool Offscreen::Dump(const std::string& path, const Rect* rect) const {
  if (!Exists()) {
    XASSERT_FAIL("Exists()", "Dumping offscreen that doesn't exist");
    return false;
  }
  // An area outside the port still makes the (empty) file.
  std::string text;
  Rect area;
  if (IntersectRect(rect ? *rect : fPortRect, fPortRect, area)) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        const std::uint8_t value = PixelAt(x, y);
        text += {kHex[value >> 4], kHex[value & 15], ' '};
      }
      text += '\n';
    }
  }
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  if (!WriteWholeFile(CTGFileManager::Get().Files(), path, bytes)) {
    XASSERT_FAIL("fp", "Could not open file!");
    return false;
  }
  return true;
}

}  // namespace pixmold

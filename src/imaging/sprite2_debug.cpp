#include "imaging/sprite2_debug.h"

#include <sstream>

#include "base/xassert.h"
#include "filelib/ctg_file_manager.h"
#include "imaging/sprite2_decoder.h"
#include "imaging/sprite2_tokens.h"

namespace pixmold {
namespace {

void PrintRun(const Sprite2Token& token, std::ostream& out) {
  const char* name = token.code == sprite2::kRunP ? "kRunP" : token.code == sprite2::kRunZP ? "kRunZP" : "kRunZPA";
  const int per = Sprite2BytesPerPixel(token.code);
  out << '[' << name << '{' << token.data << '}';
  for (int i = 0; i < token.data; ++i) {
    out << '(';
    for (int k = 0; k < per; ++k) {
      if (k) out << ',';
      out << int{token.pixels[static_cast<std::size_t>(per * i + k)]};
    }
    out << ')';
  }
  out << "] ";
}

}  // namespace

void DebugDecodeSprite2(std::span<const std::uint8_t> frame, std::ostream& out) {
  Sprite2FrameHeader h;
  out << "Sprite2 Debug Decoder\n";
  if (!ReadSprite2Header(frame, h).Ok()) return;
  out << "Width = " << h.width << "\n";
  out << "Height = " << h.height << "\n";
  out << "Flags = ";
  if (h.flags & sprite2::kColorData) out << "kColorData ";
  if (h.flags & sprite2::kZData) out << "kZData ";
  if (h.flags & sprite2::kAlphaData) out << "kAlphaData ";
  out << "\n";
  out << "Origin = (" << h.originX << "," << h.originY << ")\n";
  out << "Clear color = " << h.clearColour;
  out << "Palette ID = " << h.paletteId;

  Sprite2TokenReader reader(frame);
  Sprite2Token token;
  while (reader.Next(token)) {
    switch (token.code) {
      case sprite2::kNL: {
        out << "\n[kNL] ";
        std::uint16_t next = 0;
        int data = 0;
        const bool linked = reader.Peek(token.position + static_cast<std::size_t>(token.data), next, data) &&
                            (next == sprite2::kNL || next == sprite2::kSL || next == sprite2::kEOS);
        if (!linked) out << "[BAD TOKEN DATA!]\n";
        break;
      }
      case sprite2::kClear: out << "[kClear(" << token.data << ")] "; break;
      case sprite2::kSL: out << "\n[kSL(" << token.data << ")] "; break;
      case sprite2::kEOS: out << "[kEOS]\n\n"; return;
      case sprite2::kRunP:
      case sprite2::kRunZP:
      case sprite2::kRunZPA:
        PrintRun(token, out);
        if (token.end & 1) XASSERT_FAIL("(int(streamPtr) & 1) == 0", "parity error");
        break;
      default: out << "[BAD TOKEN]\n"; return;
    }
  }
}

bool DebugDecode(std::span<const std::uint8_t> frame) {
  std::ostringstream text;
  DebugDecodeSprite2(frame, text);
  const std::string decoded = text.str();
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(decoded.data()), decoded.size());
  return WriteWholeFile(CTGFileManager::Get().Files(), "debugdecode.txt", bytes);
}

}  // namespace pixmold

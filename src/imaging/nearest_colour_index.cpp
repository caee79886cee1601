#include "imaging/nearest_colour_index.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "base/xassert.h"

namespace pixmold {

namespace {

constexpr int kRedWeight = 2;
constexpr int kGreenWeight = 4;
constexpr int kBlueWeight = 1;

int Distance(int dr, int dg, int db) { return kRedWeight * dr * dr + kGreenWeight * dg * dg + kBlueWeight * db * db; }

// Along one axis, the distance from p to the nearest and to the farthest
// level of [low, low + size - 1].
int NearGap(int p, int low, int size) { return std::max({low - p, p - (low + size - 1), 0}); }
int FarGap(int p, int low, int size) { return std::max(p - low, low + size - 1 - p); }

// A distance and an index as one key: the smaller key is the nearer entry,
// or the lower index of two as near. Distances stay below 7 * 255^2 < 2^19.
constexpr int kIndexBits = 8;
std::int32_t Key(std::int32_t distance, std::uint8_t index) { return (distance << kIndexBits) | index; }
// Above every key, with index bits of 0: the answer when nothing is usable.
constexpr std::int32_t kNoKey = std::numeric_limits<std::int32_t>::max() & ~0xFF;

}  // namespace

NearestColourIndex::NearestColourIndex(std::span<const PaletteEntry> colours, int first, int last)
    : fCoarseCells(std::size_t{kCoarsePerAxis} * kCoarsePerAxis * kCoarsePerAxis, CoarseCell{kCoarseUnbuilt, 0}),
      fFineCells(std::size_t{kFinePerAxis} * kFinePerAxis * kFinePerAxis, kUnbuilt),
      fAnswers(kFineColours) {
  TakeColours(colours, first, last);
}

void NearestColourIndex::Reset(std::span<const PaletteEntry> colours, int first, int last) {
  for (std::uint32_t cell : fBuiltCoarse) fCoarseCells[cell] = CoarseCell{kCoarseUnbuilt, 0};
  for (std::uint32_t cell : fBuiltFine) fFineCells[cell] = kUnbuilt;
  fBuiltCoarse.clear();
  fBuiltFine.clear();
  fCandidates.clear();
  fAnswers.resize(kFineColours);
  TakeColours(colours, first, last);
}

void NearestColourIndex::TakeColours(std::span<const PaletteEntry> colours, int first, int last) {
  XASSERT(first >= 0 && first <= last && static_cast<std::size_t>(last) < colours.size(), "bad usable range");
  first = std::max(first, 0);
  last = std::min(last, static_cast<int>(colours.size()) - 1);
  fUsable.clear();
  for (int i = first; i <= last; ++i) {
    const PaletteEntry& e = colours[static_cast<std::size_t>(i)];
    fUsable.push_back({e.red, e.green, e.blue, static_cast<std::uint8_t>(i)});
  }

  constexpr std::size_t kLanes = 8;
  fStride = (fUsable.size() + kLanes - 1) / kLanes * kLanes;
  fCoarseNear.resize(3 * kCoarsePerAxis * fStride);
  fCoarseFar.resize(fCoarseNear.size());
  if (fUsable.empty()) return;
  constexpr int kSize = 1 << kCoarseShift;
  constexpr int kWeights[3] = {kRedWeight, kGreenWeight, kBlueWeight};
  for (int axis = 0; axis < 3; ++axis) {
    for (int level = 0; level < kCoarsePerAxis; ++level) {
      const std::size_t row = (static_cast<std::size_t>(axis) * kCoarsePerAxis + level) * fStride;
      for (std::size_t i = 0; i < fStride; ++i) {
        const Candidate& c = fUsable[i < fUsable.size() ? i : 0];
        const int p = axis == 0 ? c.red : (axis == 1 ? c.green : c.blue);
        const int nearGap = NearGap(p, level * kSize, kSize), farGap = FarGap(p, level * kSize, kSize);
        fCoarseNear[row + i] = kWeights[axis] * nearGap * nearGap;
        fCoarseFar[row + i] = kWeights[axis] * farGap * farGap;
      }
    }
  }
}

std::uint8_t NearestColourIndex::Search(std::span<const PaletteEntry> colours, int first, int last, std::uint8_t red,
                                        std::uint8_t green, std::uint8_t blue) {
  last = std::min(last, static_cast<int>(colours.size()) - 1);
  int best = first;
  int bestDistance = std::numeric_limits<int>::max();
  for (int i = first; i <= last; ++i) {
    const PaletteEntry& e = colours[static_cast<std::size_t>(i)];
    if (e.red == red && e.green == green && e.blue == blue) return static_cast<std::uint8_t>(i);
    const int d = Distance(e.red - red, e.green - green, e.blue - blue);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return static_cast<std::uint8_t>(best);
}

void NearestColourIndex::Narrow(std::span<const Candidate> from, const Box& box, std::vector<Candidate>& to) {
  int bound = std::numeric_limits<int>::max();
  for (const Candidate& c : from) {
    bound = std::min(bound, Distance(FarGap(c.red, box.redLow, box.size), FarGap(c.green, box.greenLow, box.size),
                                     FarGap(c.blue, box.blueLow, box.size)));
  }
  // Written without a branch on the outcome, which varies too much to guess.
  const std::size_t start = to.size();
  to.resize(start + from.size());
  std::size_t kept = start;
  for (const Candidate& c : from) {
    const int nearest = Distance(NearGap(c.red, box.redLow, box.size), NearGap(c.green, box.greenLow, box.size),
                                 NearGap(c.blue, box.blueLow, box.size));
    to[kept] = c;
    kept += nearest <= bound ? 1 : 0;
  }
  to.resize(kept);
}

std::span<const NearestColourIndex::Candidate> NearestColourIndex::CoarseCandidates(std::uint32_t cell) {
  CoarseCell& coarse = fCoarseCells[cell];
  if (coarse.start == kCoarseUnbuilt) {
    // Narrow, over the tables.
    const std::size_t levels[3] = {cell / (kCoarsePerAxis * kCoarsePerAxis), cell / kCoarsePerAxis % kCoarsePerAxis,
                                   cell % kCoarsePerAxis};
    const std::int32_t* nearRows[3];
    const std::int32_t* farRows[3];
    for (std::size_t axis = 0; axis < 3; ++axis) {
      const std::size_t row = (axis * kCoarsePerAxis + levels[axis]) * fStride;
      nearRows[axis] = fCoarseNear.data() + row;
      farRows[axis] = fCoarseFar.data() + row;
    }
    std::int32_t bound = std::numeric_limits<std::int32_t>::max();
    for (std::size_t i = 0; i < fStride; ++i) bound = std::min(bound, farRows[0][i] + farRows[1][i] + farRows[2][i]);
    const std::size_t start = fCandidates.size();
    fCandidates.resize(start + fUsable.size());
    Candidate* out = fCandidates.data() + start;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < fUsable.size(); ++i) {
      out[kept] = fUsable[i];
      kept += nearRows[0][i] + nearRows[1][i] + nearRows[2][i] <= bound ? 1 : 0;
    }
    fCandidates.resize(start + kept);
    // At most 256 entries in each of 32768 cells: the start fits in 32 bits.
    coarse = CoarseCell{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(fCandidates.size() - start)};
    fBuiltCoarse.push_back(cell);
  }
  return std::span<const Candidate>(fCandidates).subspan(coarse.start, coarse.count);
}

std::uint32_t NearestColourIndex::BuildFineCell(std::uint32_t cell) {
  constexpr int kSize = 1 << kFineShift;
  const int redLevel = static_cast<int>(cell >> 12), greenLevel = static_cast<int>((cell >> 6) & 63),
            blueLevel = static_cast<int>(cell & 63);
  const Box box{redLevel * kSize, greenLevel * kSize, blueLevel * kSize, kSize};
  constexpr int kPerCoarse = kCoarseShift - kFineShift;
  const std::uint32_t coarse = static_cast<std::uint32_t>(
      ((redLevel >> kPerCoarse) * kCoarsePerAxis + (greenLevel >> kPerCoarse)) * kCoarsePerAxis +
      (blueLevel >> kPerCoarse));
  fNarrowed.clear();
  Narrow(CoarseCandidates(coarse), box, fNarrowed);

  // Keys of the cell's colours in red, green, blue order. The distance
  // separates by axis, so each candidate needs four terms per axis.
  std::array<std::int32_t, kFineColours> keys;
  keys.fill(kNoKey);
  for (const Candidate& c : fNarrowed) {
    std::array<std::int32_t, kSize> red, green, blue;
    for (int i = 0; i < kSize; ++i) {
      red[i] = kRedWeight * (box.redLow + i - c.red) * (box.redLow + i - c.red);
      green[i] = kGreenWeight * (box.greenLow + i - c.green) * (box.greenLow + i - c.green);
      blue[i] = kBlueWeight * (box.blueLow + i - c.blue) * (box.blueLow + i - c.blue);
    }
    for (int r = 0; r < kSize; ++r) {
      for (int g = 0; g < kSize; ++g) {
        const std::int32_t redGreen = red[r] + green[g];
        std::int32_t* row = &keys[static_cast<std::size_t>((r * kSize + g) * kSize)];
        for (int b = 0; b < kSize; ++b) row[b] = std::min(row[b], Key(redGreen + blue[b], c.index));
      }
    }
  }
  const std::size_t start = fAnswers.size();
  fAnswers.resize(start + kFineColours);
  for (int i = 0; i < kFineColours; ++i) fAnswers[start + i] = static_cast<std::uint8_t>(keys[i] & 0xFF);
  // 262144 cells of 64 answers: the start fits in 32 bits.
  fFineCells[cell] = static_cast<std::uint32_t>(start);
  fBuiltFine.push_back(cell);
  return static_cast<std::uint32_t>(start);
}

}  // namespace pixmold

// Reads arbitrary bytes as a Recon record, both as a bare stream and as a
// handle with a header. The last input byte chooses the options (byte order,
// field encoding, marks, string-bearing elements, header swizzling), so one
// target covers every mode. A record that reads without a report is written
// back and read again: the second reading must give the same values.
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

#include "base/xassert.h"
#include "mute_asserts.h"
#include "resfile/handle_owner.h"
#include "resfile/recon_object.h"

namespace {

using namespace pixmold;

constexpr std::uint32_t kSwap = 1;
constexpr std::uint32_t kField = 2;
constexpr std::uint32_t kMarks = 4;
constexpr std::uint32_t kLabels = 8;
constexpr std::uint32_t kSwizzle = 16;

struct Element {
  std::int16_t kind = 0;
  std::int32_t x = 0;
  float weight = 0;
  std::string label;

  void Reconstitute(ReconStream& stream, std::uint32_t version) {
    stream.Value(kind);
    stream.Value(x);
    stream.Value(weight);
    if (version & kLabels) stream.String(label);
  }
  bool operator==(const Element& other) const {
    return kind == other.kind && x == other.x &&
           std::bit_cast<std::uint32_t>(weight) == std::bit_cast<std::uint32_t>(other.weight) && label == other.label;
  }
};

struct FuzzRecord : ReconObject {
  std::uint8_t byte = 0;
  bool flag = false;
  std::int16_t shorts[3] = {};
  std::uint32_t word = 0;
  CTGString name;
  ReconStreamVector<Element> elements;
  std::int8_t small = 0;
  std::uint16_t medium = 0;
  ReconStreamVector<std::int32_t> numbers;
  std::string tail;

  void Reconstitute(ReconStream& stream, std::uint32_t version) override {
    stream.Value(byte);
    stream.Value(flag);
    stream.Int16(shorts);
    stream.Value(word);
    stream.String(name);
    elements.Reconstitute(stream, version);
    if (version & kField) stream.SetFieldEncoding();
    if (version & kMarks) stream.PutMark();
    stream.Value(small);
    if (version & kMarks) {
      // This reader knows one field of the block; writers put two.
      if (stream.IsReading()) {
        stream.SkipToMark();
      } else {
        stream.Value(medium);
      }
      stream.PutMark();
    }
    stream.Value(medium);
    numbers.Reconstitute(stream, version);
    stream.String(tail);
  }
  ResType GetType() const override { return MakeResType("FUZZ"); }

  bool operator==(const FuzzRecord& o) const {
    return byte == o.byte && flag == o.flag && std::memcmp(shorts, o.shorts, sizeof shorts) == 0 && word == o.word &&
           name == o.name && elements == o.elements && small == o.small && medium == o.medium && numbers == o.numbers &&
           tail == o.tail;
  }
};

// Writes the record back and reads it again; the values must survive.
void ExpectRoundTrip(FuzzRecord& record, std::uint32_t version) {
  OwnedHandle h(MakeReconHandle(record, version & ~kSwap));
  if (!h) std::abort();
  FuzzRecord again;
  if (!ReadReconHandle(again, h.Get(), nullptr)) std::abort();
  if (!(again == record)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MuteAssertReports();
  if (size == 0) return 0;
  const std::uint32_t options = data[size - 1];
  std::span<const std::uint8_t> body(data, size - 1);

  FuzzRecord bare;
  {
    ReconStream reader = ReconStream::Reader(body, (options & kSwap) != 0);
    bare.Reconstitute(reader, options);
    if (!reader.Failed()) ExpectRoundTrip(bare, options);
  }

  OwnedHandle h(NewHandle(static_cast<std::uint32_t>(body.size())));
  if (!h) return 0;
  {
    HandleLock lock(h.Get());
    if (!body.empty()) std::memcpy(lock.Data(), body.data(), body.size());
    if (options & kSwizzle) ReconHeaderSwizzler(lock.Data(), static_cast<std::int32_t>(body.size()));
  }
  FuzzRecord headered;
  std::uint32_t version = 0;
  if (ReadReconHandle(headered, h.Get(), &version)) ExpectRoundTrip(headered, version);
  return 0;
}

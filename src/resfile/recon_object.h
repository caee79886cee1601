// Records that serialise themselves through a ReconStream, and the small
// header that lets such a record be stored as a handle or a resource:
//
//   offset 0  1 byte   byte-order flag: 0 = the data is in this machine's
//                      order (little-endian); otherwise every 16- and 32-bit
//                      value of the data is reversed
//          1  3 bytes  zero
//          4  4 bytes  version  } little-endian, since the header swizzler
//          8  4 bytes  ResType  } has already put them in this machine's order
//         12  ...      the record's fields as the stream wrote them
//
// Some records (draw groups, tree tables) are stored as a bare stream that
// begins with their own version word; they use ReconStream alone.
#pragma once

#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

#include "resfile/mem_handle.h"
#include "resfile/recon_stream.h"
#include "resfile/res_file.h"
#include "resfile/res_types.h"

namespace pixmold {

class ReconObject {
 public:
  virtual ~ReconObject() = default;
  // Names the record's fields in order; the same routine reads, writes and
  // measures, according to the stream's mode.
  virtual void Reconstitute(ReconStream& stream, std::uint32_t version);
  virtual ResType GetType() const;
};

inline constexpr ResType kReconType = MakeResType("Rcon");

// Serialises a T that has its own Reconstitute(stream, version) and is not a
// ReconObject itself. The T is not owned.
template <typename T>
class SimpleReconObject : public ReconObject {
 public:
  SimpleReconObject(T& object, ResType type) : fObject(&object), fType(type) {}
  void Reconstitute(ReconStream& stream, std::uint32_t version) override { fObject->Reconstitute(stream, version); }
  ResType GetType() const override { return fType; }

 private:
  T* fObject;
  ResType fType;
};

// A vector that serialises itself: a 32-bit count (the size when writing),
// then each element. Reading resizes to the count first, default-constructing
// new elements and dropping surplus ones from the end. Elements are numbers
// or classes with their own Reconstitute(stream, version).
template <typename T>
class ReconStreamVector : public std::vector<T> {
 public:
  using std::vector<T>::vector;

  void Reconstitute(ReconStream& stream, std::uint32_t version) {
    std::uint32_t count = static_cast<std::uint32_t>(this->size());
    stream.Count(count);
    if (stream.IsReading()) this->resize(count);
    for (T& element : *this) {
      if constexpr (std::is_arithmetic_v<T>) {
        stream.Value(element);
      } else {
        element.Reconstitute(stream, version);
      }
    }
  }
};

struct ReconHeader {
  static constexpr std::int32_t kSize = 12;

  std::uint8_t swapFlag = 0;
  std::uint32_t version = 0;
  ResType type = 0;

  // False when fewer than kSize bytes are given.
  static bool Read(std::span<const std::uint8_t> bytes, ReconHeader& header);
  void Write(std::span<std::uint8_t, kSize> bytes) const;
};

// A new handle holding the header and the record, or null (allocation
// refused, or a record whose passes disagree).
MHandle MakeReconHandle(ReconObject& recon, std::uint32_t version);
// Reads the record from a handle made by MakeReconHandle (or read from a
// file); stores the header's version when `version` is given. False when
// the handle is too short, its type is not the record's, or the data ran
// out: each is reported, and after a wrong type the record is untouched.
bool ReadReconHandle(ReconObject& recon, MHandle h, std::uint32_t* version);
// 0, or the file's error when the resource is absent. A resource that reads
// badly has been reported (see ReadReconHandle) and still gives 0.
ResErr ReadReconResource(ReconObject& recon, iResFile& file, ResID id, std::uint32_t* version);
// Adds and writes the record as a native resource; -1 when it cannot be made.
ResErr WriteReconResource(ReconObject& recon, std::uint32_t version, iResFile& file, ResID id);
// For resources stored in the other byte order: marks the data as swapped
// and puts the version and type in this machine's order.
void ReconHeaderSwizzler(void* bytes, std::int32_t size);

}  // namespace pixmold

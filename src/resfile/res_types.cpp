#include "resfile/res_types.h"

namespace pixmold {

std::string ResTypeName(ResType type) {
  std::string name(4, ' ');
  for (int i = 0; i < 4; ++i) name[static_cast<std::size_t>(i)] = static_cast<char>((type >> (24 - 8 * i)) & 0xFF);
  return name;
}

std::optional<ResType> ParseResType(std::string_view text) {
  if (text.size() != 4) return std::nullopt;
  ResType type = 0;
  for (char c : text) type = (type << 8) | static_cast<unsigned char>(c);
  return type;
}

std::string_view ResErrText(ResErr err) {
  using namespace res_error;
  switch (err) {
    case kNone: return "no error";
    case kCannotDelete: return "the file could not be deleted";
    case kDeleteMissing: return "the file to delete does not exist";
    case kCannotCreate: return "the file could not be created";
    case kCreateExists: return "the file to create already exists";
    case kNotWritable: return "the resource file is not writable";
    case kShortWrite: return "fewer bytes written than asked";
    case kAlreadyOpen: return "a file is already open on this object";
    case kShortRead: return "fewer bytes read than asked, or the position could not be set";
    case kNotOpen: return "no file is open";
    case kOpenFailed: return "the file could not be opened or flushed";
    case kVariantUnsupported: return "a variant other than 0 is not supported by this file";
    case kNotIFF: return "the file does not start with a known IFF file header";
    case kUnsupported: return "operation not supported";
    case kAttrsUnsupported: return "resource attributes not supported";
    case kNoNameIndex: return "no name index could be given to a new name";
    case kNotFound: return "no resource of that type and id, index or handle";
    case kNotThisFile: return "the handle is not a resource of this file, or no resource of that name";
    case kTypeIndexRange: return "type index out of range";
    case kOutOfMemory: return "out of memory";
    case kInUse: return "the file is in use by another process";
    case kDamaged: return "the file is damaged";
    default: return "unknown error";
  }
}

}  // namespace pixmold

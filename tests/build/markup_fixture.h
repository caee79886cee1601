// Helpers for the build tests: markup text read into tags as a file would
// be, a captured report, and a check that a statement ends the build with an
// exact message.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>

#include "base/report.h"
#include "base/terminate.h"
#include "build/build_context.h"
#include "build/tag_dispatch.h"
#include "markup/memory_scanner.h"
#include "markup/tag_list.h"
#include "markup/tag_parser.h"

namespace pixmold::testing {

inline std::unique_ptr<TagList> ReadMarkup(std::string_view text) {
  auto tags = std::make_unique<TagList>();
  MemoryScanner source(text);
  ReadTags(source, *tags);
  return tags;
}

// One tag, kept alive with its list.
struct OneTag {
  explicit OneTag(std::string_view text) : tags(ReadMarkup(text)) {}
  AttribTable& operator*() const { return *tags->Nth(0); }
  std::unique_ptr<TagList> tags;
};

// Dispatches the markup into a fresh context (with no object file unless one
// is given).
inline std::unique_ptr<BuildContext> Dispatch(std::string_view markup, iResFile* file = nullptr) {
  auto context = std::make_unique<BuildContext>(file);
  auto tags = ReadMarkup(markup);
  DispatchTags(*context, *tags);
  return context;
}

struct CapturedReport {
  std::ostringstream stream;
  ScopedReportTarget scope{ReportTarget{&stream, nullptr, nullptr, nullptr}};
  std::string Text() const { return stream.str(); }
};

// The message of the fatal error the callable raises; "" when it returns.
template <typename F>
std::string FatalOf(F&& body) {
  try {
    body();
  } catch (const Terminate& t) {
    return t.Message();
  }
  return "";
}

}  // namespace pixmold::testing

#include "support/assert_capture.h"

namespace pixmold::testing {

AssertCapture::AssertCapture() {
  fPrevious = SetAssertSink([this](const std::string& text) { fReports.push_back(text); });
}

AssertCapture::~AssertCapture() { SetAssertSink(std::move(fPrevious)); }

bool AssertCapture::Saw(std::string_view text) const {
  for (const auto& report : fReports) {
    if (report.find(text) != std::string::npos) return true;
  }
  return false;
}

}  // namespace pixmold::testing

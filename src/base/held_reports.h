// Reports made on a thread that works beside the build's own (encoding
// frames) are held there, so that the build can pass them on where a build
// on one thread would have made them: the report reads the same at any
// number of threads.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pixmold {

struct HeldReport {
  enum class Call { kLine, kWarning, kFileWarning };
  Call call = Call::kLine;
  std::string text;
  std::string fileName;  // kFileWarning
  std::optional<int> line;
};

// While one exists, this thread's ReportLine, Warning and FileWarning are
// appended to the list instead of reported.
class ScopedHeldReports {
 public:
  explicit ScopedHeldReports(std::vector<HeldReport>& into);
  ~ScopedHeldReports();
  ScopedHeldReports(const ScopedHeldReports&) = delete;
  ScopedHeldReports& operator=(const ScopedHeldReports&) = delete;

 private:
  std::vector<HeldReport>* fPrevious;
};

// Makes each held report now, in its order.
void PassOn(const std::vector<HeldReport>& reports);

}  // namespace pixmold

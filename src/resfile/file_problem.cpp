#include "resfile/file_problem.h"

namespace pixmold {

std::string FileProblem::Text() const {
  std::string text = path + ": ";
  if (offset >= 0) text += "at offset " + std::to_string(offset) + ": ";
  return text + what;
}

std::string ProblemsText(const std::vector<FileProblem>& problems) {
  std::string text;
  for (const FileProblem& problem : problems) {
    if (!text.empty()) text += "; ";
    text += problem.Text();
  }
  return text;
}

}  // namespace pixmold

// The fatal build error. It carries its message in a 1024-byte buffer, the
// way every fatal message of a build is formatted; a longer message is cut to
// 1023 characters rather than reported again (reporting from here could
// recurse into another Terminate).
//
// Many of the system's fatal texts ("bad bmp width", "palette too big") were
// written for someone who knew which file was being read. When an input file
// is behind the error, the error also carries that file and, in plain words,
// what is wrong with it, so whoever shows the message can say so beside the
// system's own text.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace pixmold {

struct InputProblem {
  std::string path;
  std::string reason;  // plain words: what is wrong and, where it helps, how to mend it
};

class Terminate : public std::exception {
 public:
  static constexpr std::size_t kCapacity = 1024;

  explicit Terminate(std::string_view message) : fMessage(message.substr(0, kCapacity - 1)) {}
  Terminate(std::string_view message, InputProblem problem) : Terminate(message) { fProblem = std::move(problem); }

  const char* what() const noexcept override { return fMessage.c_str(); }
  const std::string& Message() const noexcept { return fMessage; }
  const std::optional<InputProblem>& Problem() const noexcept { return fProblem; }
  void SetProblem(InputProblem problem) { fProblem = std::move(problem); }

 private:
  std::string fMessage;
  std::optional<InputProblem> fProblem;
};

// Runs body; a fatal error leaving it that names no input file yet leaves
// naming the one explain() describes. explain runs only on that path, so it
// may look at the file again. The innermost explanation wins: it knows most.
template <typename Body, typename Explain>
decltype(auto) ExplainingInput(Body&& body, Explain&& explain) {
  try {
    return body();
  } catch (Terminate& fatal) {
    if (!fatal.Problem()) fatal.SetProblem(explain());
    throw;
  }
}

}  // namespace pixmold

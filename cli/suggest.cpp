#include "suggest.h"

#include <algorithm>
#include <sstream>

namespace pixmold::cli {
namespace {

std::size_t Distance(std::string_view from, std::string_view to) {
  std::vector<std::size_t> row(to.size() + 1);
  for (std::size_t j = 0; j <= to.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= from.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= to.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (from[i - 1] == to[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[to.size()];
}

}  // namespace

std::optional<std::string> Closest(std::string_view typed, const std::vector<std::string>& candidates) {
  std::optional<std::string> closest;
  // A one-letter option is one edit from every other; guessing there helps nobody.
  const std::size_t letters = typed.size() - std::min(typed.find_first_not_of('-'), typed.size());
  std::size_t best = std::min<std::size_t>(3, (letters + 1) / 2);
  for (const std::string& candidate : candidates) {
    const std::size_t distance = Distance(typed, candidate);
    if (distance < best) {
      best = distance;
      closest = candidate;
    }
  }
  return closest;
}

std::vector<std::string> OptionNames(const CLI::App& command) {
  std::vector<std::string> names;
  for (const CLI::Option* option : command.get_options()) {
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    for (const std::string& name : option->get_snames()) names.push_back("-" + name);
  }
  return names;
}

std::string OptionSuggestions(const std::vector<std::string>& unexpected,
                              const std::vector<const CLI::App*>& commands) {
  std::vector<std::string> names;
  for (const CLI::App* command : commands) {
    const std::vector<std::string> more = OptionNames(*command);
    names.insert(names.end(), more.begin(), more.end());
  }
  std::string text;
  for (const std::string& word : unexpected) {
    if (!word.starts_with("-")) continue;
    const std::string typed = word.substr(0, word.find('='));
    if (std::find(names.begin(), names.end(), typed) != names.end()) continue;
    const std::optional<std::string> closest = Closest(typed, names);
    if (!closest) continue;
    // With several strays, each hint says which one it is for.
    text += unexpected.size() == 1 ? " (did you mean '" + *closest + "'?)"
                                   : " ('" + typed + "': did you mean '" + *closest + "'?)";
  }
  return text;
}

std::string OptionSuggestions(const CLI::Error& error, const std::vector<const CLI::App*>& commands) {
  if (dynamic_cast<const CLI::ExtrasError*>(&error) == nullptr) return {};
  const std::string text = error.what();
  constexpr std::string_view kAfter = "expected: ";
  const std::size_t list = text.find(kAfter);
  if (list == std::string::npos) return {};
  std::vector<std::string> words;
  std::istringstream split(text.substr(list + kAfter.size()));
  for (std::string word; split >> word;) words.push_back(word);
  return OptionSuggestions(words, commands);
}

}  // namespace pixmold::cli

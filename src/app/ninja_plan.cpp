#include "app/ninja_plan.h"

#include "app/build_inputs.h"

namespace pixmold {
namespace {

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// A path on a build line, where white space and ":" separate paths.
std::string NinjaPath(std::string_view path) {
  std::string escaped;
  for (char c : path) {
    if (c == '$' || c == ' ' || c == ':') escaped += '$';
    escaped += c;
  }
  return escaped;
}

// A variable's value, where only "$" is ninja's own.
std::string NinjaValue(std::string_view value) {
  std::string escaped;
  for (char c : value) {
    if (c == '$') escaped += '$';
    escaped += c;
  }
  return escaped;
}

std::string PlanFolder(std::string_view planFile) {
  const std::string_view leaf = PathLeaf(planFile);
  std::string folder(planFile.substr(0, planFile.size() - leaf.size()));
  return folder.empty() ? std::string("./") : folder;
}

class CommandLine {
 public:
  CommandLine& Add(std::string_view word) {
    if (!fText.empty()) fText += ' ';
    fText += ShellQuote(word);
    if (HasLineBreak(word)) fBad = std::string(word);
    return *this;
  }
  CommandLine& Add(const std::vector<std::string>& words) {
    for (const std::string& word : words) Add(word);
    return *this;
  }
  const std::string& Text() const { return fText; }
  const std::string& Bad() const { return fBad; }

 private:
  std::string fText;
  std::string fBad;
};

}  // namespace

bool NinjaCanName(std::string_view path) { return path.find_first_of("\r\n|") == std::string_view::npos; }

bool NinjaCanPlan(const PlannedObject& object) {
  return NinjaCanName(object.objectFile) && NinjaCanName(object.key) && NinjaCanName(object.omkFile) &&
         NinjaCanName(object.imageDirectory);
}

std::string ShellQuote(std::string_view word) {
  const bool plain = !word.empty() && word.find_first_not_of(
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789_./,+=:@%-") == std::string_view::npos;
  if (plain) return std::string(word);
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

TreeObjects FindTreeObjects(std::string_view dataDirectory, std::string_view contentDirectory) {
  TreeObjects tree;
  const std::string objectsRoot = WithTrailingSeparator(dataDirectory) + "Objects";
  const std::string spritesRoot = WithTrailingSeparator(contentDirectory) + "Sprites";
  const std::vector<std::string> markup = ScanMarkupFiles(contentDirectory);
  for (std::string& object : ScanObjectFiles(dataDirectory)) {
    std::optional<MarkupLocation> found = FindMarkupFor(markup, PathLeaf(object));
    if (!found) {
      tree.withoutMarkup.push_back(std::move(object));
      continue;
    }
    std::string key = object.substr(objectsRoot.size() + 1);
    tree.objects.push_back({std::move(object), std::move(key), found->omkFile, found->imageDirectory});
  }
  tree.directories = ScanDirectories(objectsRoot);
  for (std::string& directory : ScanDirectories(spritesRoot)) tree.directories.push_back(std::move(directory));
  return tree;
}

std::string StampPath(std::string_view planFile, std::string_view key) {
  return PlanFolder(planFile) + "objects/" + std::string(key) + ".stamp";
}

std::string ReportPath(std::string_view planFile, std::string_view key) {
  return PlanFolder(planFile) + "objects/" + std::string(key) + ".report.txt";
}

std::optional<std::string> FormatNinjaPlan(const TreeObjects& tree, const PlanSettings& settings, std::string* error) {
  std::string text =
      "# Made by pixmold plan: one edge per object, each running pixmold build.\n"
      "# It makes itself anew when a folder of either tree changes; edit the trees, not this file.\n"
      "ninja_required_version = 1.10\n"
      "builddir = " +
      NinjaValue(PlanFolder(settings.planFile)) + "\npixmold = " + NinjaValue(ShellQuote(settings.program)) +
      "\n\n"
      "rule build_object\n"
      "  command = $pixmold build $args\n"
      "  description = build $key\n"
      "  depfile = $out.d\n"
      "  deps = gcc\n"
      "  restat = 1\n\n"
      "rule plan\n"
      "  command = $pixmold plan $args\n"
      "  description = plan\n"
      "  generator = 1\n"
      "  restat = 1\n\n";
  std::string bad;
  const auto check = [&bad](const CommandLine& line) {
    if (bad.empty()) bad = line.Bad();
  };

  CommandLine replan;
  replan.Add("--data").Add(settings.dataDirectory).Add("--content").Add(settings.contentDirectory);
  replan.Add("-o").Add(settings.planFile).Add(settings.buildOptions);
  check(replan);
  text += "build " + NinjaPath(settings.planFile) + ": plan |";
  for (const std::string& directory : tree.directories) {
    if (NinjaCanName(directory)) text += " $\n    " + NinjaPath(directory);
  }
  text += "\n  args = " + NinjaValue(replan.Text()) + "\n";

  for (const PlannedObject& object : tree.objects) {
    if (!NinjaCanPlan(object) && bad.empty()) bad = object.objectFile;
    const std::string stamp = StampPath(settings.planFile, object.key);
    CommandLine build;
    build.Add(object.objectFile).Add("--omk").Add(object.omkFile).Add("--images").Add(object.imageDirectory);
    build.Add("--depfile").Add(stamp + ".d").Add("--stamp").Add(stamp);
    // ninja already runs one build per core: one thread each, unless the
    // options passed on say otherwise.
    build.Add("--report").Add(ReportPath(settings.planFile, object.key)).Add("--quiet").Add("--threads").Add("1");
    build.Add(settings.buildOptions);
    check(build);
    text += "\nbuild " + NinjaPath(stamp) + ": build_object\n  key = " + NinjaValue(object.key) +
            "\n  args = " + NinjaValue(build.Text()) + "\n";
  }
  if (!bad.empty()) {
    if (error != nullptr) *error = "a ninja file cannot name a path with a line break or \"|\": " + bad;
    return std::nullopt;
  }
  return text;
}

}  // namespace pixmold

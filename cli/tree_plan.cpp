#include "tree_plan.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string_view>

#include "build_options.h"
#include "command_registry.h"
#include "filelib/file_system.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

namespace fs = std::filesystem;

// Options the plan sets on every edge itself, or that would make every
// build write to one shared file.
constexpr std::string_view kPlannedOptions[] = {"--omk",           "--images",   "--data",   "--content",
                                                "--depfile",       "--stamp",    "--report", "--json",
                                                "--dry-run",       "--new-from", "--name",   "--clear-entry-points",
                                                "--history-export"};

std::string ThisProgram() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string("pixmold") : self.string();
}

bool IsDirectory(const std::string& path) { return PosixFileSystem().Kind(path) == EntryKind::kDirectory; }

std::string ReadText(const std::string& path) {
  FileSystem& files = PosixFileSystem();
  const FileHandle file = files.Open(path, OpenMode::kRead);
  if (file == kNoFile) return {};
  std::string text(static_cast<std::size_t>(std::max<std::int64_t>(files.Size(file), 0)), '\0');
  const std::int64_t read = files.ReadAt(file, 0, text.data(), text.size());
  files.Close(file);
  text.resize(static_cast<std::size_t>(std::max<std::int64_t>(read, 0)));
  return text;
}

// Whether a part of the object (NAME.iff, NAME.spf) is a symbolic link
// that leads out of the data tree (root, made canonical once for all
// objects): a tree build writes only inside it.
bool LinksOutOfTree(const std::string& objectFile, const fs::path& root) {
  std::error_code error;
  for (const char* extension : {".iff", ".spf"}) {
    const fs::path part = objectFile + extension;
    if (!fs::is_symlink(part, error)) continue;
    const fs::path target = fs::weakly_canonical(part, error);
    if (error) return true;
    if (std::mismatch(root.begin(), root.end(), target.begin(), target.end()).first != root.end()) return true;
  }
  return false;
}

}  // namespace

std::string Absolute(const std::string& path) {
  std::error_code error;
  std::string absolute = fs::absolute(path, error).lexically_normal().string();
  while (absolute.size() > 1 && absolute.back() == '/') absolute.pop_back();
  return absolute;
}

std::string CachePlanFile(const std::string& dataDirectory) {
  return Absolute(dataDirectory) + "/.pixmold/build.ninja";
}

std::optional<WrittenPlan> WriteTreePlan(const TreePlanRequest& request, int* status) {
  const auto fail = [&](int code, const std::string& message) {
    std::fprintf(stderr, "pixmold %s: %s\n", request.command.c_str(), EscapeControls(message).c_str());
    *status = code;
    return std::nullopt;
  };
  for (const std::string& option : request.buildOptions) {
    const std::string_view name = std::string_view(option).substr(0, option.find('='));
    for (std::string_view planned : kPlannedOptions) {
      if (name == planned) return fail(kExitUsage, option + ": the plan sets this for every object itself");
    }
  }
  if (const std::optional<std::string> problem = CheckBuildOptions(request.buildOptions)) {
    return fail(kExitUsage, "an option for every build: " + *problem);
  }
  WrittenPlan plan;
  plan.settings.program = ThisProgram();
  plan.settings.dataDirectory = Absolute(request.dataDirectory);
  plan.settings.contentDirectory = Absolute(request.contentDirectory);
  plan.settings.planFile = Absolute(request.planFile);
  plan.settings.buildOptions = request.buildOptions;
  if (!IsDirectory(plan.settings.dataDirectory + "/Objects")) {
    return fail(kExitUsage, request.dataDirectory + "/Objects/: no such folder (the object files live there)");
  }
  if (!IsDirectory(plan.settings.contentDirectory + "/Sprites")) {
    return fail(kExitUsage, request.contentDirectory + "/Sprites/: no such folder (the markup lives there)");
  }

  plan.tree = FindTreeObjects(plan.settings.dataDirectory, plan.settings.contentDirectory);
  for (const std::string& object : plan.tree.withoutMarkup) {
    std::fprintf(stderr, "pixmold %s: %s: no markup of that name under %s/Sprites/; left out\n",
                 request.command.c_str(), EscapeControls(object).c_str(),
                 EscapeControls(request.contentDirectory).c_str());
  }
  // One name ninja cannot hold must not stop the whole tree: its object is
  // named and left out, and every other object builds.
  std::erase_if(plan.tree.objects, [&](const PlannedObject& object) {
    if (NinjaCanPlan(object)) return false;
    std::fprintf(stderr,
                 "pixmold %s: %s: a path of this object holds a line break or \"|\", which a ninja file "
                 "cannot name; left out\n",
                 request.command.c_str(), EscapeControls(object.objectFile).c_str());
    return true;
  });
  std::error_code canonicalError;
  const fs::path dataRoot = fs::weakly_canonical(plan.settings.dataDirectory, canonicalError);
  std::erase_if(plan.tree.objects, [&](const PlannedObject& object) {
    if (LinksOutOfTree(object.objectFile, dataRoot)) {
      std::fprintf(stderr, "pixmold %s: %s: a symbolic link to a file outside %s; left out\n", request.command.c_str(),
                   EscapeControls(object.objectFile).c_str(), EscapeControls(request.dataDirectory).c_str());
      return true;
    }
    return false;
  });
  std::string error;
  const std::optional<std::string> text = FormatNinjaPlan(plan.tree, plan.settings, &error);
  if (!text) return fail(kExitUsage, error);

  const std::string& planFile = plan.settings.planFile;
  if (ReadText(planFile) != *text) {
    FileSystem& files = PosixFileSystem();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text->data());
    if (!files.MakeDirectories(fs::path(planFile).parent_path().string()) ||
        !WriteWholeFile(files, planFile, std::span(bytes, text->size()))) {
      return fail(kExitFailed, planFile + ": cannot write the plan: " + PathReason(planFile, true));
    }
    plan.changed = true;
  }
  return plan;
}

}  // namespace pixmold::cli

// pixmold plan: writes a ninja file that builds every object of a data tree
// from its markup in the content tree, one `pixmold build` per object.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_registry.h"
#include "tree_plan.h"
#include "user_text.h"

namespace pixmold::cli {
namespace {

int RunPlan(const TreePlanRequest& request) {
  int status = kExitOk;
  const std::optional<WrittenPlan> plan = WriteTreePlan(request, &status);
  if (!plan) return status;
  // ninja runs this whenever a folder changes; an unchanged plan is no news.
  if (!plan->changed) return kExitOk;
  std::fprintf(stderr, "pixmold plan: %zu object%s in %s\n", plan->tree.objects.size(),
               plan->tree.objects.size() == 1 ? "" : "s", EscapeControls(plan->settings.planFile).c_str());
  return kExitOk;
}

RegisterCommand registerPlan(12, [](CLI::App& app, int* status) {
  auto request = std::make_shared<TreePlanRequest>();
  request->command = "plan";
  CLI::App* cmd = app.add_subcommand(
      "plan", "Write a ninja file that builds every object of a data tree from its markup in a content tree");
  cmd->add_option("--data", request->dataDirectory, "Data tree: the object files are under DATA/Objects/")->required();
  cmd->add_option("--content", request->contentDirectory, "Content tree: the markup is under CONTENT/Sprites/")
      ->required();
  cmd->add_option("-o,--output", request->planFile, "The ninja file to write")->required();
  // Whatever else is given is an option of `pixmold build`, for every object.
  cmd->allow_extras();
  cmd->fallthrough(false);
  cmd->footer(
      "Objects are found as the dialog finds them: object files under DATA/Objects/, each with the\n"
      "markup of its base name (ignoring case) under CONTENT/Sprites/ and the images beside it.\n"
      "Every other option is an option of 'pixmold build', checked once and given to every object's build,\n"
      "e.g. 'pixmold plan --data D --content C -o build.ninja --all-passes'.\n"
      "Run the plan with 'ninja -f FILE': each build writes a depfile of the files it read and a\n"
      "stamp (in the plan's folder) when it succeeds, so ninja rebuilds exactly the objects whose\n"
      "inputs changed, and makes the plan anew when either tree gains or loses a file.\n"
      "Exit status: 0 written, 1 the file cannot be written, 2 usage error or a tree without its folder.");
  cmd->callback([request, status, cmd] {
    request->buildOptions = cmd->remaining();
    *status = RunPlan(*request);
  });
});

}  // namespace
}  // namespace pixmold::cli

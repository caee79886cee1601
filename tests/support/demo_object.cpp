#include "support/demo_object.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "support/object_file_fixture.h"

namespace pixmold::testing {
namespace {

const std::string kPython = "/usr/bin/python3";

std::string Quoted(std::string_view text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

bool DemoGeneratorCanRun() {
  const std::string probe = kPython + " -c 'import numpy, PIL' >/dev/null 2>&1";
  return std::system(probe.c_str()) == 0;
}

std::string MakeDemoObject(const std::string& dataDirectory, const std::string& contentDirectory,
                           const std::string& name, const std::string& arguments) {
  namespace fs = std::filesystem;
  const fs::path sprites = fs::path(contentDirectory) / "Sprites" / name;
  const fs::path objects = fs::path(dataDirectory) / "Objects";
  std::error_code error;
  fs::create_directories(sprites, error);
  fs::create_directories(objects, error);
  // A generator stuck on a lock fails its test rather than the suite.
  const std::string command = "timeout -k 5 600 " + kPython + " " + Quoted(PIXMOLD_DEMO_GENERATOR) + " " +
                              Quoted(sprites.string()) + " --name " + Quoted(name) + " " + arguments + " --pixmold " +
                              Quoted(PIXMOLD_CLI_PATH) + " >/dev/null";
  if (std::system(command.c_str()) != 0) return "generator failed: " + command;
  for (const char* extension : {".iff", ".spf"}) {
    const fs::path made = sprites / (name + extension);
    if (fs::exists(made)) fs::rename(made, objects / (name + extension), error);
    if (error) return "cannot move " + made.string() + ": " + error.message();
  }
  fs::remove_all(sprites / (name + ".dir"), error);
  // The dialog lists an object by its sprite file; a fresh one starts empty.
  if (!fs::exists(objects / (name + ".spf"))) WriteObjectFile((objects / (name + ".spf")).string(), {});
  if (!fs::exists(objects / (name + ".iff"))) return "the generator wrote no object file";
  return "";
}

}  // namespace pixmold::testing

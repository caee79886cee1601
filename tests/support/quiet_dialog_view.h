// A dialog view that shows nothing: tests of one action derive from it and
// keep only what that action shows, so a view method added for another
// feature does not have to be repeated in each of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialog_view.h"

namespace pixmold::testing {

class QuietDialogView : public DialogView {
 public:
  void ShowSpritesDirectory(std::string_view) override {}
  void ShowObjectsDirectory(std::string_view) override {}
  void ShowFileNames(const std::vector<std::string>&) override {}
  void ShowObjectNames(const std::vector<std::string>&, int) override {}
  void ShowIds(std::string_view) override {}
  void SetBuildButton(std::string_view, bool) override {}
  void EnableLists(bool) override {}
  void ShowStatus(int, std::string_view) override {}
  void ShowReport(std::string_view) override {}
  void ShowWarningCount(std::string_view) override {}
  void ShowNotice(std::string_view) override {}
  void SetRebuildOnSave(bool) override {}
  void StartTimer(int) override {}
  void StopTimer() override {}
  void StartWatchTimer(int) override {}
  void StopWatchTimer() override {}
  void ShowPreviewGroups(const std::vector<std::int16_t>&, int) override {}
  void ShowPreview(const PreviewPicture&) override {}
  void ShowPreviewDirection(int) override {}
  void BuildFinished(const std::string&, std::string_view) override {}
};

}  // namespace pixmold::testing

// What the dialog's logic needs from a window: fields to fill, lists to
// refill, buttons to enable and a timer. The logic decides everything; a view
// only shows and forwards, so the whole dialog is tested without a display
// and a toolkit can be swapped without touching a rule.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/draw_group_preview.h"

namespace pixmold {

class DialogView {
 public:
  virtual ~DialogView() = default;

  virtual void ShowSpritesDirectory(std::string_view directory) = 0;
  virtual void ShowObjectsDirectory(std::string_view directory) = 0;
  // Refilling a list leaves it without a selection unless one is given.
  virtual void ShowFileNames(const std::vector<std::string>& names) = 0;
  virtual void ShowObjectNames(const std::vector<std::string>& names, int selected) = 0;
  virtual void ShowIds(std::string_view text) = 0;
  virtual void SetBuildButton(std::string_view label, bool enabled) = 0;
  // Both lists at once: a build must not see its selection change under it.
  virtual void EnableLists(bool enabled) = 0;
  // Line 0 the state and spinner, 1 the newest "generating" line, 2 the
  // newest "rendering" or "compressing" line.
  virtual void ShowStatus(int line, std::string_view text) = 0;
  virtual void ShowReport(std::string_view text) = 0;
  // The warnings of the last build, as "2 warnings".
  virtual void ShowWarningCount(std::string_view text) = 0;
  // The window's status line: what rebuild on save saw and did.
  virtual void ShowNotice(std::string_view text) = 0;
  // The "Rebuild on save" check box, when the logic turns it off itself.
  virtual void SetRebuildOnSave(bool on) = 0;
  virtual void StartTimer(int milliseconds) = 0;
  virtual void StopTimer() = 0;
  // A second timer, for rebuild on save's look at its files.
  virtual void StartWatchTimer(int milliseconds) = 0;
  virtual void StopWatchTimer() = 0;
  // The draw groups the preview pane offers, and the one it shows.
  virtual void ShowPreviewGroups(const std::vector<std::int16_t>& ids, int selected) = 0;
  virtual void ShowPreview(const PreviewPicture& picture) = 0;
  // The direction chosen, when the logic turned the object.
  virtual void ShowPreviewDirection(int direction) = 0;
  // A build ended; `fatalLine` is empty when it ran to its end. The view
  // may redraw what depends on the object file.
  virtual void BuildFinished(const std::string& objectFile, std::string_view fatalLine) = 0;
};

}  // namespace pixmold

// The dialog's "Export sheets..." action: the selected object file, as
// `pixmold export` exports it. It reads the file while no build runs, so it
// never meets the worker.
#include "app/art_export.h"
#include "app/pixmold_dlg.h"
#include "filelib/ctg_file_manager.h"

namespace pixmold {

void CPixmoldDlg::OnExportSheets(std::string_view directory) {
  if (mBuilding) return;
  if (mSelectedFile < 0 || static_cast<std::size_t>(mSelectedFile) >= mObjectFiles.size()) {
    mView.ShowReport("Export failed: choose an object file first.\n");
    return;
  }
  ArtExportRequest request;
  request.object = mObjectFiles[static_cast<std::size_t>(mSelectedFile)];
  request.directory = std::string(directory);
  mView.ShowReport(ArtExportSummary(request, ExportArt(request, CTGFileManager::Get().Files())));
}

}  // namespace pixmold

#include "placeholder_picker.h"

#include <QFileInfo>

namespace pixmold {

PlaceholderPicker::PlaceholderPicker(QWidget* parent, const QString& caption, const QString& filter)
    : QFileDialog(parent, caption, QString(), filter) {
  // Directory mode is the only one that takes a folder; the non-native
  // chooser still lists the files that match the filter in it.
  setOption(QFileDialog::DontUseNativeDialog, true);
  setFileMode(QFileDialog::Directory);
}

QString PlaceholderPicker::Choose(QWidget* parent, const QString& caption, const QString& filter) {
  PlaceholderPicker picker(parent, caption, filter);
  if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty()) return QString();
  return picker.selectedFiles().first();
}

void PlaceholderPicker::accept() {
  const QStringList chosen = selectedFiles();
  // Directory mode refuses a file; a placeholder file is what we ask for.
  if (!chosen.isEmpty() && QFileInfo(chosen.first()).isFile()) {
    QDialog::accept();
    return;
  }
  QFileDialog::accept();
}

}  // namespace pixmold

// Chooses a directory by a placeholder file inside it, as artists are used
// to, or by the folder itself, as Linux users expect: the file chooser shows
// the placeholder files and folders alike and accepts either.
#pragma once

#include <QFileDialog>
#include <QString>

namespace pixmold {

class PlaceholderPicker : public QFileDialog {
  Q_OBJECT
 public:
  PlaceholderPicker(QWidget* parent, const QString& caption, const QString& filter);

  // The chosen file or folder, or an empty text when cancelled.
  static QString Choose(QWidget* parent, const QString& caption, const QString& filter);

 protected:
  void accept() override;
};

}  // namespace pixmold

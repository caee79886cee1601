// The About box of the Help menu.
#pragma once

#include <QDialog>

namespace pixmold {

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace pixmold

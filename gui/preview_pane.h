// The preview side of the window: which draw group, direction and zoom to
// show (or the whole contact sheet), the picture enlarged by whole factors,
// and its caption. The picture follows the pane's size until the artist
// zooms; the scale rule and the enlarging live in src/app. Left and right
// arrow keys, with the picture focused, turn the object.
#pragma once

#include <QScrollArea>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "app/draw_group_preview.h"
#include "app/preview_scale.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace pixmold {

// Reports its size changes and passes the direction keys on.
class PreviewScrollArea : public QScrollArea {
  Q_OBJECT
 public:
  using QScrollArea::QScrollArea;

 Q_SIGNALS:
  void resized();
  void turn(int step);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

class PreviewPane : public QWidget {
  Q_OBJECT
 public:
  explicit PreviewPane(QWidget* parent = nullptr);

  void ShowGroups(const std::vector<std::int16_t>& ids, int selected);
  void ShowPicture(const PreviewPicture& picture);
  void ShowDirection(int direction);

  // The factor the picture is shown at (1 when there is none).
  int Factor() const { return fFactor; }
  // The picture as the logic gave it, before enlarging.
  const PreviewPicture& Shown() const { return fShown; }
  void ZoomIn();
  void ZoomOut();
  void ShowActualSize();
  void FitToPane();

 Q_SIGNALS:
  void choiceChanged(int groupIndex, int direction, int zoom);
  void contactSheetToggled(bool on);
  void turn(int step);

 private:
  PixelSize PaneSize() const;
  PixelSize PictureSize() const;
  void Redraw();

  QComboBox* fGroup = nullptr;
  QComboBox* fDirection = nullptr;
  QComboBox* fZoom = nullptr;
  QCheckBox* fSheet = nullptr;
  QPushButton* fZoomOut = nullptr;
  QPushButton* fZoomIn = nullptr;
  QPushButton* fActual = nullptr;
  QPushButton* fFit = nullptr;
  QLabel* fScaleLabel = nullptr;
  PreviewScrollArea* fScroll = nullptr;
  QLabel* fPicture = nullptr;
  QLabel* fCaption = nullptr;

  PreviewPicture fShown;
  PreviewScale fScale;
  int fFactor = 1;
};

}  // namespace pixmold

#include "preview_pane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/preview_render.h"

namespace pixmold {
namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

bool Drawable(const PreviewImage& image) {
  return image.width > 0 && image.height > 0 && image.channels == 4 &&
         image.pixels.size() == static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4;
}

}  // namespace

void PreviewScrollArea::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  Q_EMIT resized();
}

void PreviewScrollArea::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
    Q_EMIT turn(event->key() == Qt::Key_Right ? 1 : -1);
    event->accept();
    return;
  }
  QScrollArea::keyPressEvent(event);
}

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent) {
  auto* pane = new QVBoxLayout(this);
  pane->setContentsMargins(0, 0, 0, 0);
  pane->addWidget(new QLabel("Preview", this));

  auto* choices = new QHBoxLayout;
  fGroup = new QComboBox(this);
  fDirection = new QComboBox(this);
  fZoom = new QComboBox(this);
  for (int direction = 0; direction < 8; ++direction) {
    fDirection->addItem(QString("direction %1").arg(direction), direction);
  }
  fZoom->addItem("large", 3);
  fZoom->addItem("medium", 2);
  fZoom->addItem("small", 1);
  fSheet = new QCheckBox("Contact sheet", this);
  fSheet->setToolTip("Every direction and zoom of the draw group, as pixmold preview draws them");
  choices->addWidget(fGroup);
  choices->addWidget(fDirection);
  choices->addWidget(fZoom);
  choices->addWidget(fSheet);
  choices->addStretch();
  pane->addLayout(choices);

  auto* scaling = new QHBoxLayout;
  fZoomOut = new QPushButton("-", this);
  fZoomIn = new QPushButton("+", this);
  fActual = new QPushButton("1:1", this);
  fFit = new QPushButton("Fit", this);
  fZoomOut->setToolTip("Zoom out (Ctrl+-)");
  fZoomIn->setToolTip("Zoom in (Ctrl++)");
  fActual->setToolTip("One screen pixel per sprite pixel (Ctrl+1)");
  fFit->setToolTip("The largest whole factor that fits the pane (Ctrl+0)");
  fScaleLabel = new QLabel(this);
  for (QPushButton* button : {fZoomOut, fZoomIn, fActual, fFit}) scaling->addWidget(button);
  scaling->addWidget(fScaleLabel);
  scaling->addStretch();
  pane->addLayout(scaling);

  fPicture = new QLabel;
  fPicture->setAlignment(Qt::AlignCenter);
  // Mid grey, so both dark and light sprites stand out from the empty parts.
  fPicture->setStyleSheet("background-color: #808080;");
  fScroll = new PreviewScrollArea(this);
  fScroll->setWidget(fPicture);
  fScroll->setWidgetResizable(true);
  fScroll->setAlignment(Qt::AlignCenter);
  fScroll->setFocusPolicy(Qt::StrongFocus);
  fScroll->setMinimumSize(240, 200);
  fScroll->setToolTip("Left and right arrow keys turn the object");
  pane->addWidget(fScroll, 1);
  fCaption = new QLabel(this);
  fCaption->setWordWrap(true);
  // A caption naming a long path must not widen the window.
  fCaption->setSizePolicy(QSizePolicy::Ignored, fCaption->sizePolicy().verticalPolicy());
  fCaption->setMinimumWidth(1);
  pane->addWidget(fCaption);

  setObjectName("previewPane");
  fGroup->setObjectName("previewGroup");
  fDirection->setObjectName("previewDirection");
  fZoom->setObjectName("previewZoom");
  fSheet->setObjectName("contactSheet");
  fZoomOut->setObjectName("zoomOut");
  fZoomIn->setObjectName("zoomIn");
  fActual->setObjectName("actualSize");
  fFit->setObjectName("fit");
  fScaleLabel->setObjectName("previewScale");
  fScroll->setObjectName("previewArea");
  fPicture->setObjectName("preview");
  fCaption->setObjectName("previewCaption");

  for (QComboBox* choice : {fGroup, fDirection, fZoom}) {
    connect(choice, &QComboBox::currentIndexChanged, this, [this] {
      Q_EMIT choiceChanged(fGroup->currentIndex(), fDirection->currentData().toInt(), fZoom->currentData().toInt());
    });
  }
  connect(fSheet, &QCheckBox::toggled, this, [this](bool on) {
    fDirection->setEnabled(!on);
    fZoom->setEnabled(!on);
    Q_EMIT contactSheetToggled(on);
  });
  connect(fZoomOut, &QPushButton::clicked, this, &PreviewPane::ZoomOut);
  connect(fZoomIn, &QPushButton::clicked, this, &PreviewPane::ZoomIn);
  connect(fActual, &QPushButton::clicked, this, &PreviewPane::ShowActualSize);
  connect(fFit, &QPushButton::clicked, this, &PreviewPane::FitToPane);
  connect(fScroll, &PreviewScrollArea::resized, this, [this] {
    if (fScale.Fitting()) Redraw();
  });
  connect(fScroll, &PreviewScrollArea::turn, this, &PreviewPane::turn);
  Redraw();
}

void PreviewPane::ShowGroups(const std::vector<std::int16_t>& ids, int selected) {
  const QSignalBlocker blocker(fGroup);
  fGroup->clear();
  for (std::int16_t id : ids) fGroup->addItem(QString("draw group %1").arg(id));
  fGroup->setCurrentIndex(selected);
}

void PreviewPane::ShowPicture(const PreviewPicture& picture) {
  fShown = picture;
  QString caption = FromUtf8(picture.caption);
  for (const std::string& note : picture.notes) caption += "\n" + FromUtf8(note);
  fCaption->setText(caption);
  Redraw();
}

void PreviewPane::ShowDirection(int direction) {
  const QSignalBlocker blocker(fDirection);
  fDirection->setCurrentIndex(fDirection->findData(direction));
}

PixelSize PreviewPane::PaneSize() const {
  const QSize size = fScroll->maximumViewportSize();
  return {size.width(), size.height()};
}

PixelSize PreviewPane::PictureSize() const { return {fShown.image.width, fShown.image.height}; }

void PreviewPane::ZoomIn() {
  fScale.ZoomIn(PaneSize(), PictureSize());
  Redraw();
}

void PreviewPane::ZoomOut() {
  fScale.ZoomOut(PaneSize(), PictureSize());
  Redraw();
}

void PreviewPane::ShowActualSize() {
  fScale.ShowActualSize();
  Redraw();
}

void PreviewPane::FitToPane() {
  fScale.FitToPane();
  Redraw();
}

void PreviewPane::Redraw() {
  fFit->setEnabled(!fScale.Fitting());
  if (!Drawable(fShown.image)) {
    fFactor = 1;
    fPicture->setPixmap(QPixmap());
    fScaleLabel->setText(fScale.Fitting() ? "fit" : "");
    return;
  }
  fFactor = fScale.Factor(PaneSize(), PictureSize());
  const PreviewImage shown = RenderPreview(fShown.image, fShown.tiles, fFactor);
  const QImage view(shown.pixels.data(), shown.width, shown.height, shown.width * 4, QImage::Format_RGBA8888);
  fPicture->setPixmap(QPixmap::fromImage(view.copy()));
  fScaleLabel->setText(QString("%1:1%2").arg(fFactor).arg(fScale.Fitting() ? ", fit" : ""));
}

}  // namespace pixmold

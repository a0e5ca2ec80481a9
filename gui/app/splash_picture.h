#pragma once

#include <QSize>
#include <QWidget>

class QPainter;
class QRectF;

// The product picture of the splash and About window: a cluster of hexagonal crystals on a dark
// ground, the product name and its subtitle. Drawn with QPainter, so it is sharp at any scale and
// owes nothing to outside artwork.
namespace lithora::gui {

// The size the picture is designed at, in logical pixels.
inline constexpr QSize kSplashPictureSize{480, 300};

// Paints the whole picture scaled into target.
void paintSplashPicture(QPainter& painter, const QRectF& target);

// The picture as a control: it takes the mouse press for itself (a press on it does not drag
// the window) and reports a button released over it.
class SplashPicture : public QWidget {
    Q_OBJECT
  public:
    explicit SplashPicture(QWidget* parent = nullptr);

  signals:
    void released();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace lithora::gui

// The picture window: shows the enlarged picture from a backing image it keeps itself, so it
// repaints on its own when uncovered or restored, and hands pointer moves and presses to its
// host, which turns them into the readout and the re-anchoring of the start address.
#pragma once

#include <QImage>
#include <QWidget>

#include "decode/picture_surface.h"
#include "picture_host.h"

namespace pixvue {

class Form2 : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kDesignWidth = 385;
    static constexpr int kDesignHeight = 269;

    explicit Form2(PictureHost& host);

    // Shows the window without taking the keyboard from the main window, centred the first
    // time; a window already visible is only raised.
    void showPresentation();
    // Clears the backing image to the background colour and asks for a repaint.
    void clearPicture();
    // Draws the surface's top-left width x height pixels enlarged by zoom into the backing image.
    void drawPicture(const PictureSurface& surface, int width, int height, int zoom);

    const QImage& backingImage() const { return backing_; }
    // Closed by the user: the window is on its way out and must not be shown again.
    bool closedByUser() const { return closed_; }

    // The handlers of pointer movement and button presses, in client pixels.
    void Form_MouseMove(double x, double y);
    void Form_MouseDown(double x, double y);
    // Ends the program at once.
    void EndNow();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void ensureBackingCovers(QSize size);
    QColor background() const;

    PictureHost& host_;
    QImage backing_;
    bool everShown_ = false;
    bool closed_ = false;
};

}  // namespace pixvue

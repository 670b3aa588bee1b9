#include "form2.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "picture_window/stretch.h"

namespace pixvue {

Form2::Form2(PictureHost& host) : QWidget(nullptr), host_(host) {
    setObjectName("Form2");
    setWindowTitle("Form2");
    setAttribute(Qt::WA_DeleteOnClose);
    // The main window keeps the keyboard, so its buttons can be pressed one after another.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // The backing image paints every pixel; nothing shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resize(kDesignWidth, kDesignHeight);
    ensureBackingCovers(size());
}

QColor Form2::background() const {
    return palette().color(QPalette::Window);
}

void Form2::ensureBackingCovers(QSize size) {
    if (!backing_.isNull() && backing_.width() >= size.width() &&
        backing_.height() >= size.height())
        return;
    QImage grown(std::max(size.width(), backing_.width()),
                 std::max(size.height(), backing_.height()), QImage::Format_RGB32);
    grown.fill(background());
    if (!backing_.isNull()) {
        QPainter p(&grown);
        p.drawImage(0, 0, backing_);
    }
    backing_ = std::move(grown);
}

void Form2::showPresentation() {
    if (isVisible()) {
        raise();
        return;
    }
    if (!everShown_) {
        everShown_ = true;
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            QRect r = geometry();
            r.moveCenter(screen->availableGeometry().center());
            move(r.topLeft());
        }
    }
    show();
}

void Form2::clearPicture() {
    backing_.fill(background());
    update();
}

void Form2::drawPicture(const PictureSurface& surface, int width, int height, int zoom) {
    // Only the client area is drawn; what lies beyond it would be clipped anyway.
    const int w = std::min(this->width(), backing_.width());
    const int h = std::min(this->height(), backing_.height());
    PixelView dst{reinterpret_cast<std::uint32_t*>(backing_.bits()),
                  static_cast<std::size_t>(backing_.bytesPerLine() / 4), w, h};
    stretchNearest(surface.row(0), PictureSurface::kSide, width, height, zoom, dst);
}

void Form2::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    // Never smoothed: at a scale factor above 1 each pixel stays a crisp block.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect r = event->rect();
    p.drawImage(r, backing_, r);
}

void Form2::resizeEvent(QResizeEvent* event) {
    ensureBackingCovers(event->size());
    QWidget::resizeEvent(event);
}

void Form2::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove(event->position().x(), event->position().y());
}

void Form2::mousePressEvent(QMouseEvent* event) {
    Form_MouseDown(event->position().x(), event->position().y());
}

void Form2::closeEvent(QCloseEvent* event) {
    closed_ = true;
    QWidget::closeEvent(event);
}

void Form2::Form_MouseMove(double x, double y) {
    host_.pointerMoved(x, y);
}

void Form2::Form_MouseDown(double x, double y) {
    host_.pointerPressed(x, y);
}

void Form2::EndNow() {
    host_.endProgram();
}

}  // namespace pixvue

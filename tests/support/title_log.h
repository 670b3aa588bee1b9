// Records every title a window is given, in order.
#pragma once

#include <QEvent>
#include <QObject>
#include <QStringList>
#include <QWidget>

namespace pixvue::testing {

class TitleLog : public QObject {
  public:
    explicit TitleLog(QWidget* w) : window(w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::WindowTitleChange) titles.push_back(window->windowTitle());
        return false;
    }
    QWidget* window;
    QStringList titles;
};

}  // namespace pixvue::testing

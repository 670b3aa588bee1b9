// What the picture window hands on: the viewer behind it owns all state and decides what a
// pointer move or press does.
#pragma once

namespace pixvue {

class PictureHost {
  public:
    // Pointer positions in client pixels.
    virtual void pointerMoved(double x, double y) = 0;
    virtual void pointerPressed(double x, double y) = 0;
    // Ends the whole program at once.
    virtual void endProgram() = 0;

  protected:
    ~PictureHost() = default;
};

}  // namespace pixvue

// What the picture window's handlers use of the main window, which owns all viewer state.
#pragma once

#include <cstdint>

#include <QString>

namespace pixvue {

class PictureHost {
  public:
    virtual bool fileOpened() const = 0;
    virtual int zoom() const = 0;
    virtual std::int32_t picWidth() const = 0;
    virtual QString addressText() const = 0;
    virtual void setAddressText(const QString& text) = 0;
    virtual void setPointerReadout(const QString& column, const QString& row) = 0;
    virtual void LoadPic() = 0;
    virtual void FormatVisuals() = 0;
    // Ends the whole program at once.
    virtual void endProgram() = 0;

  protected:
    ~PictureHost() = default;
};

}  // namespace pixvue

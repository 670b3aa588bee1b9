// Decoding pictures with the viewer's own loader and writing them as PNG images.
#pragma once

#include <iosfwd>

#include <QImage>

#include "decode/picture_surface.h"
#include "export/arguments.h"

namespace pixvue::exporter {

// The top-left width x height pixels of the surface, each enlarged to zoom x zoom pixels;
// a null image when there is not memory enough for it.
QImage pictureImage(const PictureSurface& surface, int width, int height, int zoom);

// Runs the export that `options` describe, reporting to `out` (what was written or skipped)
// and `err` (problems and progress). Returns the exit status: 0 when everything was written.
int runExport(const ExportOptions& options, std::ostream& out, std::ostream& err);

}  // namespace pixvue::exporter

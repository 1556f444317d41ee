#pragma once

#include <QBitmap>
#include <QImage>
#include <QString>

/// The twelve arrow-shaped thumb pictures of the range trackbar, drawn in code.
///
/// Names are a size prefix ("SM" 8 x 12, "MED" 12 x 18, "LG" 16 x 24), a
/// direction ("UP", "DOWN", or "LEFT", "RIGHT" with the sizes transposed) and
/// "THUMB"; the mask of each has "MASK" appended.
namespace PointerThumbs {

/// The picture, opaque inside its mask and transparent outside; null for an unknown name.
QImage Picture(const QString& name);
/// The mask: set (colour 1) where the picture shows.
QBitmap Mask(const QString& name);

}  // namespace PointerThumbs

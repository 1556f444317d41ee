#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

/// Decodes a baseline or progressive JPEG with libjpeg into an RGB image; a
/// null image when the data is not a whole, valid JPEG.
QImage DecodeJpeg(const QByteArray& data);

/// DecodeJpeg of a file or Qt resource (":/pictures/banner.jpg").
QImage LoadJpeg(const QString& path);

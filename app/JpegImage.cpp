#include "app/JpegImage.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf escape;
};

[[noreturn]] void LeaveOnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

void IgnoreMessage(j_common_ptr) {}

/// Decodes into image, which the caller sized from the header. Kept free of
/// objects with destructors, since an error leaves it by longjmp.
bool DecodeInto(jpeg_decompress_struct& info, ErrorManager& errors, QImage& image) {
  if (setjmp(errors.escape)) return false;
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  return true;
}

bool ReadHeader(jpeg_decompress_struct& info, ErrorManager& errors) {
  if (setjmp(errors.escape)) return false;
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  return true;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& data) {
  if (data.isEmpty()) return QImage();
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = LeaveOnError;
  errors.base.output_message = IgnoreMessage;
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()));

  QImage image;
  // A truncated stream decodes as grey padding with a warning; treat it as damage.
  bool ok = ReadHeader(info, errors) && info.output_components == 3 && info.output_width <= 16384 &&
            info.output_height <= 16384;
  if (ok) {
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), QImage::Format_RGB888);
    ok = !image.isNull() && DecodeInto(info, errors, image) && errors.base.num_warnings == 0;
  }
  jpeg_destroy_decompress(&info);
  return ok ? image : QImage();
}

QImage LoadJpeg(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QImage();
  return DecodeJpeg(file.readAll());
}

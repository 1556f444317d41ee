#include <gtest/gtest.h>

#include <QColor>
#include <vector>

#include <cstdio>
#include <jpeglib.h>

#include "app/JpegImage.h"

namespace {

/// Encodes an RGB picture with libjpeg: left half red, right half blue.
QByteArray EncodeTwoColours(int width, int height) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&info, &out, &outSize);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    const bool left = x < width / 2;
    row[x * 3] = left ? 220 : 10;
    row[x * 3 + 1] = 20;
    row[x * 3 + 2] = left ? 10 : 230;
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW line = row.data();
    jpeg_write_scanlines(&info, &line, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  QByteArray data(reinterpret_cast<const char*>(out), static_cast<qsizetype>(outSize));
  free(out);
  return data;
}

bool Near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 && std::abs(a.blue() - b.blue()) < 24;
}

TEST(Jpeg, DecodesPixels) {
  const QImage image = DecodeJpeg(EncodeTwoColours(64, 16));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(64, 16));
  EXPECT_TRUE(Near(image.pixelColor(4, 8), QColor(220, 20, 10)));
  EXPECT_TRUE(Near(image.pixelColor(60, 8), QColor(10, 20, 230)));
}

TEST(Jpeg, RejectsDamagedData) {
  const QByteArray good = EncodeTwoColours(64, 64);
  EXPECT_TRUE(DecodeJpeg(QByteArray()).isNull());
  EXPECT_TRUE(DecodeJpeg(QByteArray(500, 'x')).isNull());
  EXPECT_TRUE(DecodeJpeg(good.left(good.size() / 2)).isNull());
  EXPECT_TRUE(DecodeJpeg(good.left(20)).isNull());
  QByteArray scrambled = good;
  for (qsizetype i = 0; i < 40; ++i) scrambled[i * 3 + 2] = static_cast<char>(i * 37);
  // A damaged header is refused; damage the decoder gets through never
  // yields a picture of other dimensions than the stream declares.
  const QImage image = DecodeJpeg(scrambled);
  EXPECT_TRUE(image.isNull() || image.size() == QSize(64, 64)) << image.width() << "x" << image.height();
}

TEST(Jpeg, ProgramPicturesAreEmbedded) {
  const struct {
    const char* path;
    QSize size;
  } pictures[] = {{":/pictures/banner.jpg", {600, 50}},
                  {":/pictures/icon.jpg", {40, 40}},
                  {":/pictures/about.jpg", {64, 64}},
                  {":/pictures/update.jpg", {16, 16}},
                  {":/pictures/donate.jpg", {92, 26}}};
  for (const auto& picture : pictures) {
    const QImage image = LoadJpeg(picture.path);
    EXPECT_EQ(image.size(), picture.size) << picture.path;
  }
  EXPECT_TRUE(LoadJpeg(":/pictures/none.jpg").isNull());
}

}  // namespace

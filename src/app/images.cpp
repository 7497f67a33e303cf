#include "app/images.h"

#include <png.h>

#include <cstring>

#include "common/resources.h"

namespace ql {

Image decodePng(const Bytes& png) {
  Image result;
  if (png.empty()) return result;
  // The simplified reading interface reports errors by result, which keeps
  // libpng's longjmp away from C++ objects.
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return result;
  image.format = PNG_FORMAT_BGRA;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return result;
  }
  result.width = static_cast<int>(image.width);
  result.height = static_cast<int>(image.height);
  result.bgra = std::move(pixels);
  return result;
}

Image loadPngResource(int id) { return decodePng(loadBinaryResource(id)); }

namespace {

// A top-down 24-bit DIB section of the image's size and its pixel rows.
BitmapHandle createDib24(int width, int height, std::uint8_t** bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* data = nullptr;
  BitmapHandle bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &data, nullptr, 0));
  *bits = static_cast<std::uint8_t*>(data);
  return bitmap;
}

int dibStride24(int width) { return (width * 3 + 3) & ~3; }

}  // namespace

BitmapHandle imageToBitmap(const Image& image, COLORREF background) {
  if (image.empty()) return BitmapHandle();
  std::uint8_t* bits = nullptr;
  BitmapHandle bitmap = createDib24(image.width, image.height, &bits);
  if (!bitmap || !bits) return BitmapHandle();
  const int backgroundBgr[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  const int stride = dibStride24(image.width);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* source = &image.bgra[(static_cast<size_t>(y) * image.width + x) * 4];
      std::uint8_t* target = bits + static_cast<size_t>(y) * stride + x * 3;
      const int alpha = source[3];
      for (int c = 0; c < 3; ++c) {
        target[c] = static_cast<std::uint8_t>((source[c] * alpha + backgroundBgr[c] * (255 - alpha) + 127) / 255);
      }
    }
  }
  GdiFlush();
  return bitmap;
}

IconHandle imageToIcon(const Image& image) {
  BitmapHandle colour = imageToBitmap(image, RGB(255, 255, 255));
  if (!colour) return IconHandle();
  // A monochrome mask of zeros: every pixel of the colour bitmap is shown.
  std::vector<std::uint8_t> maskBits(static_cast<size_t>((image.width + 15) / 16 * 2) * image.height, 0);
  BitmapHandle mask(CreateBitmap(image.width, image.height, 1, 1, maskBits.data()));
  if (!mask) return IconHandle();
  ICONINFO info = {};
  info.fIcon = TRUE;
  info.hbmColor = colour.get();
  info.hbmMask = mask.get();
  return IconHandle(CreateIconIndirect(&info));
}

}  // namespace ql

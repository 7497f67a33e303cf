// The windows' pictures: PNG files compiled in as resources, decoded with
// libpng and turned into the GDI objects the windows draw.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "common/handles.h"
#include "text/text.h"

namespace ql {

// Straight (not premultiplied) alpha, rows top-down, one B, G, R, A quad per pixel.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgra;
  bool empty() const { return width == 0 || height == 0; }
};

// An empty image when the bytes are not a PNG that libpng can read.
Image decodePng(const Bytes& png);
Image loadPngResource(int id);

// The image blended onto `background`, so that transparent pixels show it;
// a 24-bit bitmap of the image's size.
BitmapHandle imageToBitmap(const Image& image, COLORREF background);
// A 24-bit colour icon with an all-opaque mask.
IconHandle imageToIcon(const Image& image);

}  // namespace ql

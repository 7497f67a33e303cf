#include <gtest/gtest.h>
#include <windows.h>

#include "../resources/resource_ids.h"
#include "app/images.h"

using namespace ql;

namespace {

struct Bgr {
  int b, g, r;
};

Bgr pixelOf(HBITMAP bitmap, int x, int y) {
  BITMAP info = {};
  GetObject(bitmap, sizeof info, &info);
  const auto* row = static_cast<const unsigned char*>(info.bmBits) + static_cast<size_t>(y) * info.bmWidthBytes;
  return {row[x * 3], row[x * 3 + 1], row[x * 3 + 2]};
}

const unsigned char* pixel(const Image& image, int x, int y) {
  return &image.bgra[(static_cast<size_t>(y) * image.width + x) * 4];
}

}  // namespace

TEST(Images, CompiledInPicturesDecodeToTheirSizes) {
  struct Case {
    int resource, width, height;
  } cases[] = {{QL_RES_CLOCK_PICTURE_PNG, 20, 20}, {QL_RES_CLOSE_BUTTON_PNG, 25, 25}, {QL_RES_TRAY_ICON_PNG, 16, 16}};
  for (const Case& c : cases) {
    Image image = loadPngResource(c.resource);
    EXPECT_EQ(image.width, c.width) << c.resource;
    EXPECT_EQ(image.height, c.height) << c.resource;
    EXPECT_EQ(image.bgra.size(), static_cast<size_t>(c.width * c.height * 4)) << c.resource;
  }
}

TEST(Images, ClockPictureIsAnOpaqueWhiteFaceOnBlue) {
  Image image = loadPngResource(QL_RES_CLOCK_PICTURE_PNG);
  ASSERT_FALSE(image.empty());
  const unsigned char* corner = pixel(image, 0, 0);
  EXPECT_EQ(corner[0], 249);  // B
  EXPECT_EQ(corner[1], 148);  // G
  EXPECT_EQ(corner[2], 58);   // R
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) ASSERT_EQ(pixel(image, x, y)[3], 255) << x << "," << y;
  }
  // Off-centre inside the face, away from the hands: white.
  const unsigned char* face = pixel(image, 6, 13);
  EXPECT_EQ(face[0] + face[1] + face[2], 3 * 255);
}

TEST(Images, CloseButtonCompositesItsTransparentGroundOntoTheBackground) {
  Image image = loadPngResource(QL_RES_CLOSE_BUTTON_PNG);
  ASSERT_FALSE(image.empty());
  EXPECT_EQ(pixel(image, 0, 0)[3], 0);  // the ground is transparent
  BitmapHandle onWhite = imageToBitmap(image, RGB(255, 255, 255));
  BitmapHandle onRed = imageToBitmap(image, RGB(255, 0, 0));
  ASSERT_TRUE(onWhite);
  ASSERT_TRUE(onRed);
  Bgr corner = pixelOf(onWhite.get(), 0, 0);
  EXPECT_EQ(corner.b + corner.g + corner.r, 3 * 255);
  Bgr redCorner = pixelOf(onRed.get(), 0, 0);
  EXPECT_EQ(redCorner.r, 255);
  EXPECT_EQ(redCorner.g, 0);
  // On the disc, between the cross's arms: opaque dark grey whatever the background.
  for (HBITMAP bitmap : {onWhite.get(), onRed.get()}) {
    Bgr disc = pixelOf(bitmap, 12, 3);
    EXPECT_EQ(disc.r, 81);
    EXPECT_EQ(disc.g, 81);
    EXPECT_EQ(disc.b, 81);
  }
}

TEST(Images, BytesThatAreNotAPngGiveNoImage) {
  EXPECT_TRUE(decodePng(Bytes()).empty());
  EXPECT_TRUE(decodePng(textToBytes("GIF89a not a png at all")).empty());
  // A PNG signature followed by garbage.
  Bytes truncated = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 1, 2};
  EXPECT_TRUE(decodePng(truncated).empty());
  EXPECT_FALSE(imageToBitmap(Image(), RGB(255, 255, 255)));
  EXPECT_FALSE(imageToIcon(Image()));
}

TEST(Images, TrayIconIsA16By16IconOfTheClockFace) {
  IconHandle icon = imageToIcon(loadPngResource(QL_RES_TRAY_ICON_PNG));
  ASSERT_TRUE(icon);
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(icon.get(), &info));
  BITMAP colour = {};
  GetObject(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 16);
  EXPECT_EQ(colour.bmHeight, 16);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);

  // Drawn onto red: the mask hides nothing, so the corner is the icon's blue.
  Image red;
  red.width = red.height = 16;
  red.bgra.assign(16 * 16 * 4, 0);
  for (size_t i = 0; i < red.bgra.size(); i += 4) red.bgra[i + 2] = red.bgra[i + 3] = 255;
  BitmapHandle canvas = imageToBitmap(red, RGB(0, 0, 0));
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, canvas.get());
  ASSERT_TRUE(DrawIconEx(dc, 0, 0, icon.get(), 16, 16, 0, nullptr, DI_NORMAL));
  SelectObject(dc, old);
  DeleteDC(dc);
  Bgr corner = pixelOf(canvas.get(), 0, 0);
  EXPECT_EQ(corner.r, 58);
  EXPECT_EQ(corner.g, 148);
  EXPECT_EQ(corner.b, 249);
}

// The program's icon as the executable carries it: drawn from res/icon.txt, the right way up,
// with its transparent pixels transparent.
#include <gtest/gtest.h>

#include "platform/win32/windows_api.h"

namespace zarn::platform {
namespace {

// Draws the icon over a background of one colour and reads pixels back.
class IconCanvas {
 public:
  IconCanvas(HICON icon, COLORREF background)
      : screen_(GetDC(nullptr)),
        dc_(CreateCompatibleDC(screen_)),
        bitmap_(CreateCompatibleBitmap(screen_, 32, 32)) {
    previous_ = SelectObject(dc_, bitmap_);
    const RECT all{0, 0, 32, 32};
    const HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
    DrawIconEx(dc_, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
  }
  ~IconCanvas() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
    ReleaseDC(nullptr, screen_);
  }
  IconCanvas(const IconCanvas&) = delete;
  IconCanvas& operator=(const IconCanvas&) = delete;

  COLORREF Pixel(int x, int y) const { return GetPixel(dc_, x, y); }

 private:
  HDC screen_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_ = nullptr;
};

TEST(ProgramIcon, IsThePictureOfIconTxtRightWayUpWithTransparency) {
  const auto icon = static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON, 32, 32, LR_SHARED));
  ASSERT_NE(icon, nullptr);
  const COLORREF kBackgrounds[] = {RGB(255, 255, 255), RGB(255, 0, 255)};
  for (const COLORREF background : kBackgrounds) {
    const IconCanvas canvas(icon, background);
    const struct {
      int x, y;
      COLORREF colour;  // CLR_INVALID: the background shows through
    } pixels[] = {
        {0, 0, CLR_INVALID},          // the empty top row
        {31, 31, CLR_INVALID},        // the empty bottom row
        {13, 5, RGB(0, 255, 0)},      // the arrow's lime shaft
        {12, 5, RGB(0, 128, 0)},      // its dark green edge
        {1, 17, RGB(0, 0, 0)},        // the receiver's black outline, top left
        {2, 18, RGB(255, 255, 255)},  // its white light edge
        {23, 20, RGB(255, 0, 0)},     // the red mark on the knob
        {5, 21, RGB(0, 0, 128)},      // the navy display
    };
    for (const auto& p : pixels) {
      const COLORREF expected = p.colour == CLR_INVALID ? background : p.colour;
      EXPECT_EQ(canvas.Pixel(p.x, p.y), expected) << p.x << "," << p.y;
    }
  }
}

}  // namespace
}  // namespace zarn::platform

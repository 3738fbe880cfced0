// Pictures through the Windows Imaging Component: PNG/BMP files decoded into bitmaps the
// view can draw, and panel pictures encoded as PNG files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct IWICImagingFactory;

namespace trl4::panelwin {

// A top-down 32-bit DIB section with premultiplied alpha, ready for AlphaBlend.
struct Picture {
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
};

class Imaging {
  public:
    Imaging();
    ~Imaging();
    Imaging(const Imaging &) = delete;
    Imaging &operator=(const Imaging &) = delete;

    // The file as a bitmap; an empty Picture when it cannot be read. The caller owns it.
    Picture load(const std::wstring &path);
    // Rows of BGRX pixels, top row first, stride width * 4; false with a reason on failure.
    bool savePng(const std::wstring &path, int width, int height,
                 const std::vector<std::uint8_t> &pixels, std::string &error);

  private:
    IWICImagingFactory *factory_ = nullptr;
    bool uninitialise_ = false;
};

}  // namespace trl4::panelwin

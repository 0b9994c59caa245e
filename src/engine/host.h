// The engine's one seam to the world around it: the window or the command-line companion.
#pragma once

#include <cstdint>
#include <string_view>

#include "raster/types.h"

namespace tavelix {

struct TSize {
    std::int32_t Width = 0, Height = 0;
};

class TPictureHost {
public:
    virtual ~TPictureHost() = default;
    // A text for the user ("Error: wrong format: photo.jpg is not a JPEG file, or a damaged
    // one (JPEG-Fehler #53)"); the window shows a message box.
    virtual void ShowMessage(std::string_view text) = 0;
    // Lets the user interface handle what is pending (repaint, Esc) during long work.
    virtual void ProcessMessages() = 0;
    // Size of the primary screen in pixels.
    virtual TSize ScreenSize() const = 0;
    // Why a picture file could not be loaded, told just before the user's message; for hosts
    // that report the failure their own way (the window shows only the message).
    virtual void LoadFailed(std::string_view fileName, const TPictureError& error) {
        (void)fileName;
        (void)error;
    }
};

}  // namespace tavelix

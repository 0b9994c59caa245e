// The picture types known to the open dialog's preview: file extensions with a description.
// The program's own loading and saving choose their codec by extension without this list.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavelix {

struct TPictureType {
    std::string Extension;    // without the dot, lower case: "jpg"
    std::string Description;  // "JPEG Image File"
    friend bool operator==(const TPictureType&, const TPictureType&) = default;
};

// Extensions are given without a leading dot and compared without regard to ASCII case.
// Registering an extension again replaces its description. All functions may be called
// from any thread, also before main() starts.
void RegisterPictureType(std::string_view extension, std::string_view description);
void UnregisterPictureType(std::string_view extension);
std::optional<std::string> PictureTypeDescription(std::string_view extension);
// Every registered type, in the order of first registration.
std::vector<TPictureType> RegisteredPictureTypes();

// The JPEG picture type: "jpeg" and "jpg" as "JPEG Image File". Registered at program start,
// removed at program end.
inline constexpr std::string_view JpegPictureDescription = "JPEG Image File";
void RegisterJpegPictureType();
void UnregisterJpegPictureType();

}  // namespace tavelix

#include "raster/pictureregistry.h"

#include <algorithm>
#include <mutex>

namespace tavelix {

namespace {

struct TRegistry {
    std::mutex Lock;
    std::vector<TPictureType> Types;
};

// Made on first use, so that registering from another file's static initialiser is safe.
TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

std::string Normalised(std::string_view extension) {
    std::string result(extension);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

}  // namespace

void RegisterPictureType(std::string_view extension, std::string_view description) {
    std::string key = Normalised(extension);
    TRegistry& registry = Registry();
    const std::lock_guard lock(registry.Lock);
    auto found = std::find_if(registry.Types.begin(), registry.Types.end(),
                              [&](const TPictureType& type) { return type.Extension == key; });
    if (found != registry.Types.end())
        found->Description = description;
    else
        registry.Types.push_back({std::move(key), std::string(description)});
}

void UnregisterPictureType(std::string_view extension) {
    const std::string key = Normalised(extension);
    TRegistry& registry = Registry();
    const std::lock_guard lock(registry.Lock);
    std::erase_if(registry.Types, [&](const TPictureType& type) { return type.Extension == key; });
}

std::optional<std::string> PictureTypeDescription(std::string_view extension) {
    const std::string key = Normalised(extension);
    TRegistry& registry = Registry();
    const std::lock_guard lock(registry.Lock);
    for (const TPictureType& type : registry.Types)
        if (type.Extension == key) return type.Description;
    return std::nullopt;
}

std::vector<TPictureType> RegisteredPictureTypes() {
    TRegistry& registry = Registry();
    const std::lock_guard lock(registry.Lock);
    return registry.Types;
}

void RegisterJpegPictureType() {
    RegisterPictureType("jpeg", JpegPictureDescription);
    RegisterPictureType("jpg", JpegPictureDescription);
}

void UnregisterJpegPictureType() {
    UnregisterPictureType("jpeg");
    UnregisterPictureType("jpg");
}

}  // namespace tavelix

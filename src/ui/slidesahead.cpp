#include "ui/slidesahead.h"

#include "raster/orientation.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "engine/tavelix.h"

namespace tavelix::ui {

namespace {

// The screen size the fit is made for; messages go nowhere (the failure is the answer).
class TQuietHost : public TPictureHost {
public:
    explicit TQuietHost(TSize screen) : FScreen(screen) {}
    void ShowMessage(std::string_view) override {}
    void ProcessMessages() override {}
    TSize ScreenSize() const override { return FScreen; }

private:
    TSize FScreen;
};

}  // namespace

TSlidesAhead::TSlide DecodeSlide(const TSlidesAhead::TKey& key, std::int64_t loadPixelLimit) {
    TQuietHost host(key.Screen);
    TTavelix view(host);
    view.SetLoadPixelLimit(loadPixelLimit);
    TSlidesAhead::TSlide slide;
    TBitmap picture;
    if (!view.LoadPicture(picture, key.File)) {
        slide.Failed = true;
        return slide;
    }
    // assembled as the file stores it, then turned upright
    if (key.Assemble) TTavelix::Scramble(&picture, key.Password, false);
    slide.Orientation = RecordedOrientation(key.File);
    picture = Oriented(picture, slide.Orientation);
    slide.Picture = picture;
    // As the window fits a picture it shows: the displayed copy first, then drawn anew from
    // the working copy.
    if (key.Fit || picture.Width() > key.Screen.Width || picture.Height() > key.Screen.Height) {
        view.Picture().CopyFrom(picture);
        view.FitToScreen(picture);
        slide.Shown = view.Picture();
    }
    return slide;
}

TSlidesAhead::TSlidesAhead(TDecode decode) : FDecode(std::move(decode)) {}

TSlidesAhead::~TSlidesAhead() {
    {
        std::lock_guard lock(FMutex);
        FEnd = true;
        FEntries.clear();
    }
    FWake.notify_all();
    if (FWorker.joinable()) FWorker.join();
}

void TSlidesAhead::Want(std::vector<TKey> keys, const TKey* handedBack, TSlide* slide) {
    if (keys.size() > MaxHeld) keys.resize(MaxHeld);
    {
        std::lock_guard lock(FMutex);
        std::vector<TEntry> entries;
        for (TKey& key : keys) {
            const auto same = [&](const TEntry& e) { return e.Key == key; };
            if (std::any_of(entries.begin(), entries.end(), same)) continue;
            const auto held = std::find_if(FEntries.begin(), FEntries.end(), same);
            if (held != FEntries.end())
                entries.push_back(std::move(*held));
            else
                entries.push_back({std::move(key), std::nullopt});
        }
        FEntries = std::move(entries);
        FBusyWanted = FBusy && std::any_of(FEntries.begin(), FEntries.end(),
                                           [&](const TEntry& e) { return e.Key == *FBusy; });
        if (handedBack && !slide->Failed && !(FBusy && *FBusy == *handedBack) && HeldLocked() < MaxHeld) {
            for (TEntry& entry : FEntries)
                if (entry.Key == *handedBack && !entry.Slide) entry.Slide = std::move(*slide);
            FMostHeld = std::max(FMostHeld, HeldLocked());
        }
        if (!FWorker.joinable()) FWorker = std::thread(&TSlidesAhead::Run, this);
    }
    FWake.notify_all();
}

std::optional<TSlidesAhead::TSlide> TSlidesAhead::Take(const TKey& key) {
    std::unique_lock lock(FMutex);
    const auto find = [&] {
        return std::find_if(FEntries.begin(), FEntries.end(), [&](const TEntry& e) { return e.Key == key; });
    };
    auto entry = find();
    if (entry == FEntries.end()) return std::nullopt;
    if (!entry->Slide && FBusy && *FBusy == key) {
        FDone.wait(lock, [&] { return !FBusy || !(*FBusy == key); });
        entry = find();
        if (entry == FEntries.end()) return std::nullopt;
    }
    std::optional<TSlide> slide = std::move(entry->Slide);
    FEntries.erase(entry);
    return slide;
}

void TSlidesAhead::Clear() {
    std::lock_guard lock(FMutex);
    FEntries.clear();
    FBusyWanted = false;
}

void TSlidesAhead::WaitIdle() {
    std::unique_lock lock(FMutex);
    FDone.wait(lock, [&] {
        return !FBusy && std::all_of(FEntries.begin(), FEntries.end(), [](const TEntry& e) { return e.Slide; });
    });
}

std::size_t TSlidesAhead::Held() {
    std::lock_guard lock(FMutex);
    return HeldLocked();
}

std::size_t TSlidesAhead::MostHeld() {
    std::lock_guard lock(FMutex);
    return FMostHeld;
}

std::size_t TSlidesAhead::HeldLocked() const {
    const auto ready = std::count_if(FEntries.begin(), FEntries.end(), [](const TEntry& e) { return e.Slide; });
    return static_cast<std::size_t>(ready) + (FBusy ? 1 : 0);
}

void TSlidesAhead::Run() {
    std::unique_lock lock(FMutex);
    for (;;) {
        const auto missing = [&] {
            return std::find_if(FEntries.begin(), FEntries.end(), [](const TEntry& e) { return !e.Slide; });
        };
        // (while a decode no longer wanted is held up to the limit, none begins)
        FWake.wait(lock, [&] { return FEnd || (missing() != FEntries.end() && HeldLocked() < MaxHeld); });
        if (FEnd) return;
        FBusy = missing()->Key;
        FBusyWanted = true;
        FMostHeld = std::max(FMostHeld, HeldLocked());
        const TKey key = *FBusy;
        lock.unlock();
        TSlide slide;
        try {
            slide = FDecode(key);
        } catch (...) {
            slide = TSlide{};
            slide.Failed = true;
        }
        lock.lock();
        if (FBusyWanted) {
            const auto entry =
                std::find_if(FEntries.begin(), FEntries.end(), [&](const TEntry& e) { return e.Key == key; });
            if (entry != FEntries.end() && !entry->Slide) {
                entry->Slide = slide;
                // Before another thread can take it: the entry holds the only reference (a
                // bitmap's store counts its references to decide whether a write must copy).
                slide = TSlide{};
            }
        }
        FBusy.reset();
        FDone.notify_all();
        // A picture no longer wanted goes with slide here, before the next decode begins.
        lock.unlock();
        slide = TSlide{};
        lock.lock();
    }
}

}  // namespace tavelix::ui

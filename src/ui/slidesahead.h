// TSlidesAhead: the autoshow's neighbours decoded ahead. While a picture is shown, the window
// names the pictures a step forward and a step back would show; a worker thread of this class
// decodes them (the decoding is supplied by the caller and must not touch the window), so a
// step finds its picture ready. It never picks a picture itself: it only answers for the one
// asked for, so nothing can be shown out of turn. At most two decoded pictures are held,
// counting the one being decoded.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/host.h"
#include "raster/bitmap.h"

namespace tavelix::ui {

class TSlidesAhead {
public:
    // A picture as the show would put it on screen: the file, and what the show does to it
    // after reading it. A picture decoded under other options is another one.
    struct TKey {
        std::string File;        // the file's name as the system takes it
        bool Assemble = false;   // assembled with Password ("Autoassemble")
        std::string Password;
        bool Fit = false;        // fitted to Screen whatever its size ("Autosize"); larger ones always are
        TSize Screen;
        friend bool operator==(const TKey& a, const TKey& b) {
            return a.File == b.File && a.Assemble == b.Assemble && a.Password == b.Password && a.Fit == b.Fit &&
                   a.Screen.Width == b.Screen.Width && a.Screen.Height == b.Screen.Height;
        }
    };
    struct TSlide {
        // The file could not be read or decoded: the window reads it once more itself, to tell
        // the user why exactly as without decoding ahead.
        bool Failed = false;
        TBitmap Picture;  // the working copy: decoded (and assembled), then turned upright
        int Orientation = 1;  // the EXIF orientation that turned it
        TBitmap Shown;    // fitted to the screen; empty when the picture is shown as it is
    };
    // Runs on the worker thread.
    using TDecode = std::function<TSlide(const TKey&)>;

    explicit TSlidesAhead(TDecode decode);
    // Waits for a decode going on (at most one picture), then ends the worker.
    ~TSlidesAhead();
    TSlidesAhead(const TSlidesAhead&) = delete;
    TSlidesAhead& operator=(const TSlidesAhead&) = delete;

    // The pictures to have ready, the most wanted first; only the first two count. Pictures held
    // that are not wanted any more are dropped at once; a decode going on for one finishes and
    // its picture is dropped. A picture the caller has already (the one it showed last) can be
    // handed back with its key: kept when wanted, so it is not decoded again.
    void Want(std::vector<TKey> keys) { Want(std::move(keys), nullptr, nullptr); }
    void Want(std::vector<TKey> keys, const TKey& handedBack, TSlide slide) {
        Want(std::move(keys), &handedBack, &slide);
    }
    // The picture for key, handed over (it is held here no longer): when ready, at once; while
    // it is being decoded, when that ends. Nothing when it was not wanted or not yet begun: the
    // caller decodes it itself (and it is no longer wanted here).
    std::optional<TSlide> Take(const TKey& key);
    // Drops every picture and wish (the show stopped). Does not wait for a decode going on.
    void Clear();

    // For tests: waits until the worker has nothing left to do; the decoded pictures held now,
    // and the most there ever were at once (counting the one being decoded).
    void WaitIdle();
    std::size_t Held();
    std::size_t MostHeld();

    static constexpr std::size_t MaxHeld = 2;

private:
    struct TEntry {
        TKey Key;
        std::optional<TSlide> Slide;  // none: waiting to be decoded
    };
    void Want(std::vector<TKey> keys, const TKey* handedBack, TSlide* slide);
    void Run();
    std::size_t HeldLocked() const;

    TDecode FDecode;
    std::mutex FMutex;
    std::condition_variable FWake;  // to the worker: something to do, or the end
    std::condition_variable FDone;  // from the worker: a decode ended
    std::vector<TEntry> FEntries;   // the wanted pictures, most wanted first
    std::optional<TKey> FBusy;      // the picture being decoded
    bool FBusyWanted = false;       // whether its picture is still to be kept when done
    std::size_t FMostHeld = 0;
    bool FEnd = false;
    std::thread FWorker;  // started at the first wish
};

// The show's decoding with the engine alone (for the worker): key's file read and decoded
// (pictures of more than loadPixelLimit pixels refused), assembled with its password when
// asked, and fitted to its screen size when asked or larger than the screen. A failure says
// nothing to the user: it is a failed slide.
TSlidesAhead::TSlide DecodeSlide(const TSlidesAhead::TKey& key, std::int64_t loadPixelLimit);

}  // namespace tavelix::ui

// The autoshow's pictures decoded ahead: a step finds the picture the show goes to, never
// another; at most two pictures are held; a broken file and Stop in the middle of a decode.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/tavelix.h"
#include "tempfolder.h"
#include "testutil.h"
#include "ui/slideshow.h"
#include "ui/slidesahead.h"

namespace tavelix::ui {
namespace {

using TKey = TSlidesAhead::TKey;
using TSlide = TSlidesAhead::TSlide;

TKey Key(int index) { return {std::to_string(index), false, "", true, {100, 100}}; }

// A stand-in decoder: picture n is n + 1 pixels wide, "bad" files fail. Decodes can be held
// at a gate, to be in the middle of one when the test acts.
class TFakeDecoder {
public:
    TSlide operator()(const TKey& key) {
        std::unique_lock lock(FMutex);
        Decoded.push_back(key.File);
        FEntered = true;
        FChanged.notify_all();
        FChanged.wait(lock, [&] { return !FClosed; });
        TSlide slide;
        if (key.File == "bad") {
            slide.Failed = true;
        } else {
            slide.Picture.SetSize(std::stoi(key.File) + 1, 1);
        }
        return slide;
    }
    void Close() {
        std::lock_guard lock(FMutex);
        FClosed = true;
        FEntered = false;
    }
    void Open() {
        std::lock_guard lock(FMutex);
        FClosed = false;
        FChanged.notify_all();
    }
    void WaitEntered() {
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [&] { return FEntered; });
    }
    std::vector<std::string> Decoded;  // read only while the worker is idle

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    bool FClosed = false, FEntered = false;
};

TSlideShow Show(int count, bool loop, bool random) {
    std::vector<TSlideShow::TName> names(static_cast<std::size_t>(count), u"x.jpg");
    TSlideShow show;
    show.SetPictures(std::move(names));
    show.SetLoop(loop);
    show.SetAtRandom(random);
    show.Seed(7);
    return show;
}

// The window's use: after each picture shown, the next and the previous one wanted, the
// picture shown before handed back; a step takes its picture. Every step must find exactly the
// picture the show goes to, ready; no picture handed back is decoded again, and no more than
// two pictures are ever held beside the one shown.
TEST(SlidesAhead, EveryStepFindsThePictureTheShowGoesTo) {
    const struct {
        const char* name;
        int count;
        bool loop, random;
        std::string steps;    // n forward, p back
        std::string decoded;  // the pictures decoded, in their order
    } cases[] = {
        {"in order, back and forth", 5, false, false, "nnpnnn", "1203034"},
        {"loop: past the last to the first, and back", 3, true, false, "nnnnppp", "120"},
        {"at random: the pick is made before its decode", 6, true, true, "nnnnn", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeDecoder decoder;
        TSlidesAhead ahead([&](const TKey& key) { return decoder(key); });
        TSlideShow show = Show(c.count, c.loop, c.random);
        std::optional<TSlide> shown, before;
        std::optional<TKey> beforeKey;
        for (char step : c.steps) {
            std::vector<TKey> wanted;
            if (show.NextIndex() >= 0) wanted.push_back(Key(show.NextIndex()));
            if (show.PreviousIndex() >= 0) wanted.push_back(Key(show.PreviousIndex()));
            if (before)
                ahead.Want(wanted, *beforeKey, *before);
            else
                ahead.Want(wanted);
            ahead.WaitIdle();
            EXPECT_EQ(ahead.Held(), std::min<std::size_t>(wanted.size(), 2));
            const std::int32_t expected = step == 'n' ? show.NextIndex() : show.PreviousIndex();
            beforeKey = Key(show.Index());
            ASSERT_TRUE(step == 'n' ? show.Next() : show.Previous());
            ASSERT_EQ(show.Index(), expected);
            before = std::move(shown);
            shown = ahead.Take(Key(show.Index()));
            ASSERT_TRUE(shown.has_value());
            EXPECT_EQ(shown->Picture.Width(), show.Index() + 1);
        }
        std::string decoded;
        for (const std::string& file : decoder.Decoded) decoded += file;
        if (!c.random) {
            EXPECT_EQ(decoded, c.decoded);
        }
        EXPECT_LE(ahead.MostHeld(), TSlidesAhead::MaxHeld);
    }
}

// Only the picture asked for is handed over: not another file, not the same file decoded
// under other options, not one no longer wanted. The most wanted is decoded first.
TEST(SlidesAhead, HandsOverOnlyThePictureAskedFor) {
    TFakeDecoder decoder;
    TSlidesAhead ahead([&](const TKey& key) { return decoder(key); });
    TKey assembled = Key(4);
    assembled.Assemble = true;
    assembled.Password = "a";
    ahead.Want({Key(3), assembled});
    ahead.WaitIdle();
    EXPECT_EQ(decoder.Decoded, (std::vector<std::string>{"3", "4"}));
    TKey otherPassword = assembled;
    otherPassword.Password = "b";
    for (const TKey& key : {Key(2), Key(4), otherPassword}) EXPECT_FALSE(ahead.Take(key)) << key.File;
    ahead.Want({Key(5)});  // 3 and 4 are no longer wanted
    ahead.WaitIdle();
    EXPECT_FALSE(ahead.Take(Key(3)));
    EXPECT_FALSE(ahead.Take(assembled));
    EXPECT_EQ(ahead.Take(Key(5))->Picture.Width(), 6);
    EXPECT_FALSE(ahead.Take(Key(5))) << "handed over twice";
}

TEST(SlidesAhead, ABrokenFileAheadFailsAloneAndIsHandedOverAsFailed) {
    TFakeDecoder decoder;
    TSlidesAhead ahead([&](const TKey& key) { return decoder(key); });
    TKey bad = Key(0);
    bad.File = "bad";
    ahead.Want({bad, Key(1)});
    ahead.WaitIdle();
    const std::optional<TSlide> failed = ahead.Take(bad);
    ASSERT_TRUE(failed.has_value());
    EXPECT_TRUE(failed->Failed);
    EXPECT_TRUE(failed->Picture.Empty());
    EXPECT_FALSE(ahead.Take(Key(1))->Failed);
}

// Stop while a picture is being decoded: nothing waits for it, and its picture is dropped.
// Wishes changed in the middle of a decode do not raise the count of pictures held.
TEST(SlidesAhead, ADecodeNoLongerWantedIsDropped) {
    for (const bool stop : {true, false}) {
        SCOPED_TRACE(stop ? "stopped" : "other pictures wanted");
        TFakeDecoder decoder;
        TSlidesAhead ahead([&](const TKey& key) { return decoder(key); });
        ahead.Want({Key(8)});
        ahead.WaitIdle();
        decoder.Close();
        ahead.Want({Key(8), Key(1)});
        decoder.WaitEntered();  // 1 is being decoded
        if (stop)
            ahead.Clear();
        else
            ahead.Want({Key(8), Key(2)});
        decoder.Open();
        ahead.WaitIdle();
        EXPECT_FALSE(ahead.Take(Key(1)));
        EXPECT_EQ(ahead.Held(), stop ? 0u : 2u);
        EXPECT_LE(ahead.MostHeld(), TSlidesAhead::MaxHeld);
    }
}

// A step to the picture being decoded waits for it rather than decoding it a second time.
TEST(SlidesAhead, TakingThePictureBeingDecodedWaitsForIt) {
    TFakeDecoder decoder;
    TSlidesAhead ahead([&](const TKey& key) { return decoder(key); });
    decoder.Close();
    ahead.Want({Key(3)});
    decoder.WaitEntered();
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        decoder.Open();
    });
    const std::optional<TSlide> slide = ahead.Take(Key(3));
    opener.join();
    ASSERT_TRUE(slide.has_value());
    EXPECT_EQ(slide->Picture.Width(), 4);
    EXPECT_EQ(decoder.Decoded.size(), 1u);
}

// The real decoding: what the window would show for the file.
TEST(SlidesAhead, DecodeSlideReadsAssemblesAndFits) {
    test::TTempFolder folder;
    const TBitmap original = test::MakeNoise(60, 40, 5, test::Rgb24Format());
    TBitmap scrambled = original;
    TTavelix::Scramble(&scrambled, "pw", true);
    struct TQuiet : TPictureHost {
        void ShowMessage(std::string_view) override {}
        void ProcessMessages() override {}
        TSize ScreenSize() const override { return {}; }
    } host;
    TTavelix engine(host);
    const std::string plain = folder.At("plain.bmp"), mixed = folder.At("mixed.bmp"), broken = folder.At("broken.jpg");
    ASSERT_TRUE(engine.SavePicture(original, plain, 90));
    ASSERT_TRUE(engine.SavePicture(scrambled, mixed, 90));
    std::FILE* file = std::fopen(broken.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("not a picture", file);
    std::fclose(file);

    const struct {
        const char* name;
        TKey key;
        std::int64_t limit;
        bool failed;
        TSize shown;  // 0 x 0: not fitted
    } cases[] = {
        {"as it is", {plain, false, "", false, {100, 100}}, 0, false, {}},
        {"assembled", {mixed, true, "pw", false, {100, 100}}, 0, false, {}},
        {"fitted on request", {plain, false, "", true, {120, 120}}, 0, false, {120, 80}},
        {"fitted, larger than the screen", {plain, false, "", false, {30, 30}}, 0, false, {30, 20}},
        {"broken", {broken, false, "", false, {100, 100}}, 0, true, {}},
        {"over the load limit", {plain, false, "", false, {100, 100}}, 100, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TSlide slide = DecodeSlide(c.key, c.limit);
        EXPECT_EQ(slide.Failed, c.failed);
        if (c.failed) continue;
        EXPECT_EQ(test::FirstDifference(slide.Picture, original), "");
        EXPECT_EQ(slide.Shown.Width(), c.shown.Width);
        EXPECT_EQ(slide.Shown.Height(), c.shown.Height);
    }
}

}  // namespace
}  // namespace tavelix::ui

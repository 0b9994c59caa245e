#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "engine/tavelix.h"
#include "testutil.h"

namespace tavelix {
namespace {

using test::MakeNoise;
using test::SamePixels;

std::vector<std::int32_t> Permutation(std::int32_t n, const std::string& password) {
    std::array<std::int32_t, 256> index{};
    TTavelix::MakePermutation(n, index, password);
    return {index.begin(), index.begin() + n};
}

TEST(MakePermutation, KnownPermutations) {
    struct Case {
        std::string password;
        std::int32_t n;
        std::vector<std::int32_t> expected;
    } cases[] = {
        {"abcdefgh", 5, {1, 2, 0, 3, 4}},
        {"abcdefgh", 7, {1, 4, 2, 3, 5, 6, 0}},
        {"abcdefgh", 10, {1, 7, 5, 6, 8, 2, 9, 0, 3, 4}},
        {"aaaaaaaa", 5, {1, 2, 3, 4, 0}},
        {"        ", 5, {1, 2, 3, 4, 0}},
        {"abcdefgh", 1, {0}},
        {"Zq!~x\xE9\xFF@", 2, {1, 0}},
        {"12345678", 2, {1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password + " n=" + std::to_string(c.n));
        EXPECT_EQ(Permutation(c.n, c.password), c.expected);
    }
}

TEST(MakePermutation, CountZeroLeavesTheBuffer) {
    std::array<std::int32_t, 256> index;
    index.fill(-7);
    TTavelix::MakePermutation(0, index, "abcdefgh");
    TTavelix::MakePermutation(-3, index, "abcdefgh");
    EXPECT_EQ(index[0], -7);
}

TEST(MakePermutation, AlwaysAPermutationWhateverThePassword) {
    std::mt19937 random(5);
    for (int trial = 0; trial < 300; ++trial) {
        std::string password(1 + random() % 50, ' ');
        for (char& ch : password) ch = char(random() % 256);  // control codes and high bytes too
        const std::int32_t n = 1 + std::int32_t(random() % 255);
        std::vector<std::int32_t> p = Permutation(n, password);
        std::sort(p.begin(), p.end());
        for (std::int32_t i = 0; i < n; ++i) ASSERT_EQ(p[std::size_t(i)], i) << "n=" << n << " trial " << trial;
    }
}

TEST(MakePermutation, OnlyTheFirstNCharactersCount) {
    EXPECT_EQ(Permutation(5, "abcdeXYZ"), Permutation(5, "abcdePQRSTUV"));
    EXPECT_NE(Permutation(40, "abcdeXYZ"), Permutation(40, "abcdePQRSTUV"));
}

// Where each pixel of a picture lands when scrambled, straight from the strip geometry:
// strips of b = W/256+1 columns and c = H/256+1 rows; the right edge strip only takes part in
// the row shuffle, the bottom edge strip in neither.
TBitmap ReferenceScramble(const TBitmap& picture, const std::string& password) {
    const std::int32_t W = picture.Width(), H = picture.Height();
    const std::int32_t b = W / 256 + 1, c = H / 256 + 1, n = W / b, m = H / c;
    const std::vector<std::int32_t> p = Permutation(n, password.substr(0, 50));
    const std::vector<std::int32_t> q = Permutation(m, password.substr(0, 50));
    TBitmap out(picture);
    for (std::int32_t y = 0; y < H; ++y)
        for (std::int32_t x = 0; x < W; ++x) {
            std::int32_t toX = x, toY = y;
            if (y < m * c) {
                toY = q[std::size_t(y / c)] * c + y % c;
                if (x < n * b) toX = p[std::size_t(x / b)] * b + x % b;
            }
            out.SetRawPixel(toX, toY, picture.RawPixel(x, y));
        }
    return out;
}

TEST(Scramble, MovesEveryStripWhereTheGeometrySays) {
    const std::pair<std::int32_t, std::int32_t> sizes[] = {
        {1, 1}, {2, 1}, {7, 5}, {255, 3}, {256, 2}, {257, 9}, {300, 2}, {301, 2}, {3, 511}, {4, 512}, {513, 260}, {767, 6}};
    const std::string password = "Tavelix\tbytes\xE4\xF6 1234";
    for (auto [w, h] : sizes)
        for (const auto& [name, format] : test::AllFormats()) {
            SCOPED_TRACE(testing::Message() << w << "x" << h << " " << name);
            const TBitmap original = MakeNoise(w, h, std::uint32_t(w * 31 + h), format);
            TBitmap work(original);
            TTavelix::Scramble(&work, password, true);
            const TBitmap expected = ReferenceScramble(original, password);
            ASSERT_TRUE(SamePixels(work, expected)) << test::FirstDifference(work, expected);
        }
}

TEST(Scramble, WorkedExampleMovesPixelsToTheirPlaces) {
    const TBitmap original = MakeNoise(7, 5, 3);
    TBitmap work(original);
    TTavelix::Scramble(&work, "abcdefgh", true);
    const std::int32_t p[] = {1, 4, 2, 3, 5, 6, 0}, q[] = {1, 2, 0, 3, 4};
    for (std::int32_t y = 0; y < 5; ++y)
        for (std::int32_t x = 0; x < 7; ++x) ASSERT_EQ(work.RawPixel(p[x], q[y]), original.RawPixel(x, y));
    TTavelix::Scramble(&work, "abcdefgh", false);
    EXPECT_TRUE(SamePixels(work, original));
}

TEST(Scramble, AssembleRestoresAllButTheEdgeStrips) {
    const std::pair<std::int32_t, std::int32_t> sizes[] = {{1, 1}, {255, 3}, {256, 2}, {300, 2}, {301, 2},
                                                           {257, 9}, {512, 513}, {1280, 1024}};
    for (auto [w, h] : sizes) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        const TBitmap original = MakeNoise(w, h, std::uint32_t(w + h), test::Rgb24Format());
        TBitmap work(original);
        TTavelix::Scramble(&work, "correct horse", true);
        if (w * h > 4) {
            EXPECT_FALSE(SamePixels(work, original));
        }
        TTavelix::Scramble(&work, "correct horse", false);
        const std::int32_t b = w / 256 + 1, c = h / 256 + 1;
        const std::int32_t nb = w / b * b, mc = h / c * c;
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x) {
                const bool restored = (x < nb && y < mc) || (x >= nb && y >= mc);
                if (restored) {
                    ASSERT_EQ(work.RawPixel(x, y), original.RawPixel(x, y)) << x << "," << y;
                }
            }
        if (nb == w && mc == h) {
            EXPECT_TRUE(SamePixels(work, original));
        }
    }
}

TEST(Scramble, AssembleGathersTheEdgeStripsAsDefined) {
    // 301 x 2: the rightmost column keeps the scrambled row order; 2 x 257: the bottom row is
    // gathered by the column permutation alone.
    const std::string password = "edge strips";
    for (auto [w, h] : {std::pair{301, 3}, std::pair{5, 257}}) {
        const TBitmap scrambled = MakeNoise(w, h, 9, test::Rgb24Format());
        TBitmap work(scrambled);
        TTavelix::Scramble(&work, password, false);
        const std::int32_t b = w / 256 + 1, c = h / 256 + 1, n = w / b, m = h / c;
        const auto p = Permutation(n, password), q = Permutation(m, password);
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x) {
                std::int32_t fromX = x, fromY = y;
                if (x < n * b) fromX = p[std::size_t(x / b)] * b + x % b;
                if (x < n * b && y < m * c) fromY = q[std::size_t(y / c)] * c + y % c;
                ASSERT_EQ(work.RawPixel(x, y), scrambled.RawPixel(fromX, fromY)) << x << "," << y;
            }
    }
}

TEST(Scramble, RefusesWithoutChange) {
    const TBitmap original = MakeNoise(20, 10, 4);
    TBitmap work(original);
    TTavelix::Scramble(&work, "", true);
    EXPECT_TRUE(work.SharesStoreWith(original));
    TTavelix::Scramble(nullptr, "password", true);  // no bitmap: nothing to do, no crash
    TBitmap empty;
    empty.SetWidth(5);
    TTavelix::Scramble(&empty, "password", true);
    EXPECT_EQ(empty.Width(), 5);
    EXPECT_TRUE(empty.Empty());
}

TEST(Scramble, PixelLimitIsInclusive) {
    struct Case {
        std::int32_t w, h;
        bool scrambled;
    } cases[] = {{1280, 1024, true}, {1281, 1023, true}, {1281, 1024, false}, {2000, 700, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        const TBitmap original = MakeNoise(c.w, c.h, 1, test::Gray8Format());
        TBitmap work(original);
        TTavelix::Scramble(&work, "password", true);
        EXPECT_EQ(!SamePixels(work, original), c.scrambled);
        EXPECT_EQ(work.Width(), c.w);
        EXPECT_EQ(work.Height(), c.h);
        EXPECT_EQ(work.PixelFormat(), TPixelFormat::pf8bit);
    }
}

TEST(Scramble, PasswordsCountUpToFiftyCharacters) {
    const std::string fifty(50, 'k');
    const TBitmap original = MakeNoise(255, 255, 12);
    TBitmap a(original), b(original), c(original);
    TTavelix::Scramble(&a, fifty + "first tail", true);
    TTavelix::Scramble(&b, fifty + "another", true);
    TTavelix::Scramble(&c, fifty.substr(0, 49) + "j", true);
    EXPECT_TRUE(SamePixels(a, b));
    EXPECT_FALSE(SamePixels(a, c));
}

TEST(Scramble, RowPaddingStaysZero) {
    // The padding goes into bitmap files as it is: it must not pick up stray memory.
    for (const auto& [name, format] : test::AllFormats())
        for (std::int32_t w : {1, 3, 5, 7, 258}) {
            SCOPED_TRACE(testing::Message() << name << " width " << w);
            TBitmap work = MakeNoise(w, 260, 6, format);
            const TBitmap sharer(work);  // the scrambler's first write then detaches
            TTavelix::Scramble(&work, "password", true);
            const std::size_t used = std::size_t(w) * format.Layout.BitCount / 8;
            const auto bytes = work.StoreBytes();
            for (std::size_t row = 0; row < bytes.size(); row += work.RowBytes())
                for (std::size_t i = used; i < work.RowBytes(); ++i) {
                    if (i == used && (std::size_t(w) * format.Layout.BitCount) % 8) continue;  // partly a pixel
                    ASSERT_EQ(bytes[row + i], 0) << "row byte " << i;
                }
        }
}

TEST(Scramble, NotifiesTheOwnerAndKeepsTheFormat) {
    for (const auto& [name, format] : test::AllFormats()) {
        SCOPED_TRACE(name);
        TBitmap work = MakeNoise(40, 30, 2, format);
        const TBitmap original(work);
        int changes = 0;
        work.OnChange = [&] { ++changes; };
        TTavelix::Scramble(&work, "password", true);
        EXPECT_GT(changes, 0);
        EXPECT_EQ(work.Layout(), format.Layout);
        EXPECT_EQ(work.Palette(), format.Palette);
        EXPECT_TRUE(SamePixels(original, MakeNoise(40, 30, 2, format)));  // the copy kept its pixels
    }
}

}  // namespace
}  // namespace tavelix

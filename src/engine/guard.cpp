// The fit of strip edges: lines of brightness sampled along each edge, compared by the sum of
// their differences.
#include "engine/guard.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <future>
#include <system_error>
#include <type_traits>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/tavelix.h"
#include "raster/canvas.h"

namespace tavelix {

namespace {

// Points read along each edge. More tell more in pictures of little detail; the cost grows with
// them and with the square of the number of strips (about 0.5 ms for 1280 x 1024).
constexpr std::int32_t Samples = 128, RunLength = 16;
// An edge fits one partner clearly best when that partner differs by at most this share of the
// next best one's difference, less half a level per point.
constexpr double Margin = 0.95;
constexpr double ToleranceLevels = 0.5;
// Pairs are trusted when at least this many neighbours inside strips were tested; more than
// EnoughInnerTests add little to the bound on misleading pairs.
constexpr std::int32_t TrustedAfterTests = 8, EnoughInnerTests = 64;

// Brightness of a blue-green-red pixel, 0 to 255.
inline std::uint8_t Luma(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    return std::uint8_t((29 * b + 150 * g + 77 * r) >> 8);
}

// Reads brightness from the pixel formats pictures are loaded in (24 and 32 bits, 8-bit
// indexed); other formats are read from a 24-bit copy.
class TLumaReader {
public:
    explicit TLumaReader(const TBitmap& picture) : FPicture(&picture) {
        const TPixelLayout& layout = picture.Layout();
        if (layout.BitCount == 24 && !layout.Device) {
            FBytes = 3;
        } else if (layout.BitCount == 32 &&
                   (layout.Device || (layout.EffectiveRedMask() == 0xFF0000 &&
                                      layout.EffectiveGreenMask() == 0x00FF00 &&
                                      layout.EffectiveBlueMask() == 0x0000FF))) {
            FBytes = 4;
        } else if (layout.BitCount == 8) {
            FBytes = 1;
            const auto& palette = picture.Palette();
            for (std::size_t i = 0; i < FTable.size(); ++i)
                FTable[i] = i < palette.size() ? Luma(palette[i].Blue, palette[i].Green, palette[i].Red) : 0;
        } else {
            TStoreFormat format;
            format.Layout = TPixelLayout::Rgb(24);
            FCopy.Allocate(picture.Width(), picture.Height(), format, false);
            TBitmap source(picture);
            FCopy.Canvas().CopyMode = SRCCOPY;
            const TRect all = Rect(0, 0, picture.Width(), picture.Height());
            FCopy.Canvas().CopyBlock(all, source.Canvas(), all);
            FPicture = &FCopy;
            FBytes = 3;
        }
    }
    const std::uint8_t* Row(std::int32_t y) const { return FPicture->ScanLine(y); }
    std::size_t Bytes() const { return FBytes; }
    // The brightness of pixel x of row, the bytes a pixel known to be Bytes().
    template <std::size_t Bytes>
    std::uint8_t At(const std::uint8_t* row, std::int32_t x) const {
        if constexpr (Bytes == 1) {
            return FTable[row[x]];
        } else {
            const std::uint8_t* p = row + std::size_t(x) * Bytes;
            return Luma(p[0], p[1], p[2]);
        }
    }

private:
    const TBitmap* FPicture;
    TBitmap FCopy;
    std::size_t FBytes = 3;
    std::array<std::uint8_t, 256> FTable{};
};

// The lines of one direction: for every strip its first four lines and its last two (in narrower
// strips some of them are the same line).
constexpr int LinesKept = 6;
struct TEdgeLines {
    std::int32_t Width = 1;           // lines per strip
    std::int32_t Count = 0;           // strips
    std::int32_t Points = 0;          // points a line
    std::int32_t Stride = 0;          // Points rounded up to 16, the rest zero
    std::vector<std::uint8_t> Store;  // Count x LinesKept lines: the first four, second last, last
    const std::uint8_t* Line(std::int32_t strip, int which) const {
        return Store.data() + (std::size_t(strip) * LinesKept + std::size_t(which)) * std::size_t(Stride);
    }
    // Line k of strip s, k < 4.
    const std::uint8_t* Inner(std::int32_t s, int k) const { return Line(s, k); }
    const std::uint8_t* First(std::int32_t s) const { return Line(s, 0); }
    const std::uint8_t* Second(std::int32_t s) const { return Line(s, 1); }
    const std::uint8_t* SecondLast(std::int32_t s) const { return Line(s, 4); }
    const std::uint8_t* Last(std::int32_t s) const { return Line(s, 5); }
};

TEdgeLines ReadLines(const TLumaReader& reader, std::int32_t width, std::int32_t height, bool columns) {
    TEdgeLines lines;
    const std::int32_t length = columns ? width : height, along = columns ? height : width;
    lines.Width = length / 256 + 1;
    lines.Count = length / lines.Width;
    lines.Points = std::min(along, Samples);
    lines.Stride = (lines.Points + 15) / 16 * 16;
    lines.Store.resize(std::size_t(lines.Count) * LinesKept * std::size_t(lines.Stride));
    const std::int32_t b = lines.Width;
    const std::array<std::int32_t, LinesKept> offsets = {
        0, std::min(1, b - 1), std::min(2, b - 1), std::min(3, b - 1), std::max(0, b - 2), b - 1};
    auto store = [&](std::int32_t strip, int which, std::int32_t point) {
        return lines.Store.data() + (std::size_t(strip) * LinesKept + std::size_t(which)) * std::size_t(lines.Stride) +
               std::size_t(point);
    };
    // The points are spread evenly along the edge; along a row, in runs of neighbours spread
    // evenly: reading a row of the store in a few runs touches far fewer cache lines than
    // reading it point by point.
    std::vector<std::int32_t> at(static_cast<std::size_t>(lines.Points));
    const std::int32_t runLength = columns ? 1 : RunLength;
    const std::int32_t runs = std::max(1, lines.Points / runLength);
    for (std::int32_t k = 0; k < lines.Points; ++k) {
        const std::int32_t run = std::min(runs - 1, k / runLength), inRun = k - run * runLength;
        const std::int32_t runPoints = run == runs - 1 ? lines.Points - run * runLength : runLength;
        const std::int64_t start = std::int64_t(along) * run / runs, end = std::int64_t(along) * (run + 1) / runs;
        // Within its share of the edge, a run lies in the middle, its points as close as fit.
        const std::int64_t span = end - start, step = std::max<std::int64_t>(1, span / std::max(1, 4 * runPoints));
        const std::int64_t first = start + (span - step * (runPoints - 1)) / 2;
        at[std::size_t(k)] = std::int32_t(std::clamp<std::int64_t>(first + step * inRun, start, end - 1));
    }
    // The pixel format is fixed for the loops (they read some 300,000 pixels of a large picture).
    auto read = [&](auto bytes) {
        constexpr std::size_t Bytes = decltype(bytes)::value;
        if (columns) {
            // Sixteen rows at a time, so that each line of the store is written sixteen points
            // at once.
            std::array<const std::uint8_t*, 16> rows{};
            for (std::int32_t k0 = 0; k0 < lines.Points; k0 += 16) {
                const std::int32_t count = std::min(16, lines.Points - k0);
                for (std::int32_t i = 0; i < count; ++i) rows[std::size_t(i)] = reader.Row(at[std::size_t(k0 + i)]);
                for (std::int32_t s = 0; s < lines.Count; ++s)
                    for (int w = 0; w < LinesKept; ++w) {
                        const std::int32_t x = s * b + offsets[std::size_t(w)];
                        std::uint8_t* line = store(s, w, k0);
                        for (std::int32_t i = 0; i < count; ++i)
                            line[i] = reader.template At<Bytes>(rows[std::size_t(i)], x);
                    }
            }
        } else {
            for (std::int32_t s = 0; s < lines.Count; ++s)
                for (int w = 0; w < LinesKept; ++w) {
                    const std::uint8_t* row = reader.Row(s * b + offsets[std::size_t(w)]);
                    std::uint8_t* line = store(s, w, 0);
                    for (std::int32_t k = 0; k < lines.Points; ++k) line[k] = reader.template At<Bytes>(row, at[std::size_t(k)]);
                }
        }
    };
    switch (reader.Bytes()) {
    case 1:
        read(std::integral_constant<std::size_t, 1>{});
        break;
    case 4:
        read(std::integral_constant<std::size_t, 4>{});
        break;
    default:
        read(std::integral_constant<std::size_t, 3>{});
    }
    return lines;
}

// The sum of the differences of two lines of stride bytes (a multiple of 16).
std::uint32_t Difference(const std::uint8_t* a, const std::uint8_t* b, std::int32_t stride) {
#if defined(__SSE2__)
    __m128i sum = _mm_setzero_si128();
    for (std::int32_t k = 0; k < stride; k += 16)
        sum = _mm_add_epi64(sum, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k)),
                                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k))));
    return std::uint32_t(_mm_cvtsi128_si32(sum)) + std::uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(sum, 8)));
#else
    std::uint32_t sum = 0;
    for (std::int32_t k = 0; k < stride; ++k) sum += std::uint32_t(std::abs(int(a[k]) - int(b[k])));
    return sum;
#endif
}

// Whether best is clearly less than next.
bool Clearly(double best, double next, double tolerance) { return best < Margin * next - tolerance; }

// The chance that a count of successes among n, each with chance p, is at least k.
double BinomialUpper(std::int32_t k, std::int32_t n, double p) {
    if (k <= 0) return 1;
    if (k > n) return 0;
    double sum = 0;
    for (std::int32_t i = k; i <= n; ++i)
        sum += std::exp(std::lgamma(n + 1.0) - std::lgamma(i + 1.0) - std::lgamma(n - i + 1.0) + i * std::log(p) +
                        (n - i) * std::log1p(-p));
    return std::min(1.0, sum);
}

// Where the strips of one direction stand: position s holds strip Order[s] of the picture read.
std::vector<std::int32_t> Arrangement(std::int32_t count, std::string_view password, int assembles) {
    std::vector<std::int32_t> order(static_cast<std::size_t>(count));
    for (std::int32_t s = 0; s < count; ++s) order[std::size_t(s)] = s;
    if (password.empty() || assembles <= 0 || count < 2) return order;
    std::vector<std::int32_t> index(static_cast<std::size_t>(count));
    TTavelix::MakePermutation(count, index, password.substr(0, std::min(password.size(), MaxPasswordLength)));
    for (int round = 0; round < assembles; ++round) {
        // One more assemble puts at s what stood at index[s].
        std::vector<std::int32_t> next(order.size());
        for (std::size_t s = 0; s < order.size(); ++s) next[s] = order[std::size_t(index[s])];
        order = std::move(next);
    }
    return order;
}

// The fit matrix of FindPairs, and each strip's best fitting partner on either side, which the
// steps use as shortcuts.
struct TFitMatrix {
    std::vector<std::uint32_t> Fit;  // Fit[l * n + r]: how strip r's first line differs from strip l's last
    std::vector<std::int32_t> BestRight, BestLeft;
};

// Neighbouring lines inside strips whose fit was clear, and of those, lines another strip's
// edge fitted clearly better.
struct TInnerTests {
    std::int32_t Tested = 0, Misled = 0;
};

TEdgePairs FindPairs(const TEdgeLines& lines, TFitMatrix& matrix) {
    TEdgePairs found;
    const std::int32_t n = lines.Count, stride = lines.Stride;
    found.Strips = n;
    found.Thin = lines.Width == 1;  // a strip's first line is its last
    if (n < 3 || lines.Points < 1) return found;
    const double tolerance = ToleranceLevels * lines.Points;
    const bool thin = found.Thin;

    // fit[l * n + r]: how strip r's first line differs from strip l's last.
    std::vector<std::uint32_t>& fit = matrix.Fit;
    fit.assign(std::size_t(n) * std::size_t(n), std::numeric_limits<std::uint32_t>::max());
    for (std::int32_t l = 0; l < n; ++l)
        for (std::int32_t r = 0; r < n; ++r)
            if (l != r) fit[std::size_t(l) * n + r] = Difference(lines.Last(l), lines.First(r), stride);
    auto at = [&](std::int32_t l, std::int32_t r) { return double(fit[std::size_t(l) * n + r]); };

    // The clear best partners of each strip on each side: one, or where strips are single lines
    // and so fit both ways, two (the lines before and after).
    const int wanted = thin ? 2 : 1;
    struct TBest {
        std::array<std::int32_t, 2> Strip{-1, -1};
        bool Clear = false;
        bool Has(std::int32_t s, int wanted) const { return Clear && (Strip[0] == s || (wanted == 2 && Strip[1] == s)); }
    };
    auto best = [&](auto difference, std::int32_t self) {
        std::array<std::pair<double, std::int32_t>, 3> top;
        top.fill({std::numeric_limits<double>::max(), -1});
        for (std::int32_t c = 0; c < n; ++c) {
            if (c == self) continue;
            const double d = difference(c);
            if (d >= top.back().first) continue;  // most are not among the best
            std::pair<double, std::int32_t> candidate{d, c};
            for (std::size_t i = 0; i < top.size(); ++i)
                if (candidate.first < top[i].first) std::swap(candidate, top[i]);
        }
        TBest chosen;
        for (int i = 0; i < wanted; ++i) chosen.Strip[std::size_t(i)] = top[std::size_t(i)].second;
        chosen.Clear = top[std::size_t(wanted)].second >= 0 &&
                       Clearly(top[std::size_t(wanted - 1)].first, top[std::size_t(wanted)].first, tolerance);
        return chosen;
    };
    std::vector<TBest> toRight(static_cast<std::size_t>(n)), toLeft(static_cast<std::size_t>(n));
    for (std::int32_t a = 0; a < n; ++a) {
        toRight[std::size_t(a)] = best([&](std::int32_t c) { return at(a, c); }, a);
        toLeft[std::size_t(a)] = best([&](std::int32_t c) { return at(c, a); }, a);
    }
    for (std::int32_t a = 0; a < n; ++a) {
        matrix.BestRight.push_back(toRight[std::size_t(a)].Strip[0]);
        matrix.BestLeft.push_back(toLeft[std::size_t(a)].Strip[0]);
    }
    for (std::int32_t l = 0; l < n; ++l)
        for (int i = 0; i < wanted; ++i) {
            const std::int32_t r = toRight[std::size_t(l)].Strip[std::size_t(i)];
            if (r < 0 || !toRight[std::size_t(l)].Has(r, wanted)) continue;
            if (thin ? !toRight[std::size_t(r)].Has(l, wanted) || r < l : !toLeft[std::size_t(r)].Has(l, wanted)) continue;
            // A pair that fits as well the other way round (r's last line beside l's first) is
            // a mirror image, as the two halves of a symmetric shape are: not counted.
            if (!thin && !Clearly(at(l, r), at(r, l), tolerance)) continue;
            found.Pairs.emplace_back(l, r);
        }

    return found;
}

// Neighbouring lines inside the strips, tested as edges are (twice the work of finding the
// pairs, so done only for an arrangement that breaks enough pairs to be refused). Strips two
// lines wide are not tested: their one inner pair has always the same place in a pattern that
// repeats every other line (as a picture enlarged by a factor near 2 does), and the seams the
// other one, so the test would say nothing about the seams. A line and the next one inside its
// strip form a pair when each fits the other clearly best, the edges of the other strips
// competing; they mislead when a pair forms with another strip's edge instead.
TInnerTests TestInnerLines(const TEdgeLines& lines, const TFitMatrix& matrix) {
    TInnerTests found;
    const std::int32_t n = lines.Count, stride = lines.Stride;
    if (n < 3 || lines.Points < 1 || lines.Width <= 2) return found;
    const double tolerance = ToleranceLevels * lines.Points;
    auto at = [&](std::int32_t l, std::int32_t r) { return double(matrix.Fit[std::size_t(l) * n + r]); };
    std::vector<double> leftBest(static_cast<std::size_t>(n)), rightBest(static_cast<std::size_t>(n));
    for (std::int32_t a = 0; a < n; ++a) {
        const std::int32_t l = matrix.BestLeft[std::size_t(a)], r = matrix.BestRight[std::size_t(a)];
        leftBest[std::size_t(a)] = l < 0 ? 0 : at(l, a);
        rightBest[std::size_t(a)] = r < 0 ? 0 : at(a, r);
    }
    // Which way x leans among y and the lines of the other strips: 1 to y, -1 to another strip's
    // line that fits x better than its own partners, 0 neither clearly. The strip that fits best
    // beside this one on that side does not compete: its edge lies a line beyond y, and in a
    // smooth picture fits x about as well.
    auto lean = [&](std::int32_t strip, const std::uint8_t* x, double real, bool rightward,
                    const std::vector<double>& theirBest) {
        double d1 = std::numeric_limits<double>::max(), d2 = d1;
        std::int32_t c1 = -1;
        const std::int32_t beyond = (rightward ? matrix.BestRight : matrix.BestLeft)[std::size_t(strip)];
        for (std::int32_t c = 0; c < n; ++c) {
            if (c == strip || c == beyond) continue;
            const double d = Difference(x, rightward ? lines.First(c) : lines.Last(c), stride);
            if (d < d1) {
                d2 = d1, d1 = d, c1 = c;
            } else if (d < d2) {
                d2 = d;
            }
        }
        if (Clearly(real, d1, tolerance)) return 1;
        if (c1 >= 0 && Clearly(d1, std::min(real, d2), tolerance) && Clearly(d1, theirBest[std::size_t(c1)], tolerance))
            return -1;
        return 0;
    };
    // The last two lines of each strip, or of every other one where there are more than enough.
    const std::int32_t every = n >= 2 * EnoughInnerTests ? 2 : 1;
    for (std::int32_t a = 0; a < n; a += every) {
        const std::uint8_t *x = lines.SecondLast(a), *y = lines.Last(a);
        const double real = Difference(x, y, stride);
        const int toY = lean(a, x, real, true, leftBest), toX = lean(a, y, real, false, rightBest);
        if (toY == 1 && toX == 1) {
            ++found.Tested;
        } else if (toY == -1 || toX == -1) {
            ++found.Tested;
            ++found.Misled;
        }
    }
    return found;
}

// Steps. Cut at random, a picture of flat areas and sharp edges (a screenshot, a drawing) pairs
// few strip edges clearly, but its seams change sharply where the lines beside them inside the
// strips do not: a seam steps where, at StepPointsAtLeast points or more, the brightness across it
// changes by more than StepFactor times the change across the lines beside it, plus StepLevels.
// In the clear picture a seam steps about as often as a line pair inside a strip does, with a
// line on either side (so only strips of four lines or more tell). A step counts only where both
// strips could have joined another strip without one, and only between strips whose edges have
// no copy in another strip: in a pattern that repeats with the strips, every seam may step.
constexpr int StepFactor = 3, StepLevels = 16, CopyLevels = 2;
constexpr std::int32_t StepPointsAtLeast = 8, StepsFromWidth = 4;
// The least share of stepping seams a right arrangement is taken to have.
constexpr double LeastStepShare = 0.02;

// How much the brightness may change at each point across the edge line a without a step:
// StepFactor times the change from a to its neighbour b inside the strip, plus StepLevels.
void StepThreshold(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* threshold, std::int32_t stride) {
#if defined(__SSE2__)
    static_assert(StepFactor == 3);
    for (std::int32_t k = 0; k < stride; k += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k));
        const __m128i change = _mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x));
        const __m128i allowed = _mm_adds_epu8(_mm_adds_epu8(_mm_adds_epu8(change, change), change),
                                              _mm_set1_epi8(char(StepLevels)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(threshold + k), allowed);
    }
#else
    for (std::int32_t k = 0; k < stride; ++k)
        threshold[k] = std::uint8_t(std::min(255, StepFactor * std::abs(int(a[k]) - int(b[k])) + StepLevels));
#endif
}

// Whether the seam between lines x and y steps, x and y allowed the changes tx and ty.
bool Steps(const std::uint8_t* x, const std::uint8_t* y, const std::uint8_t* tx, const std::uint8_t* ty,
           std::int32_t stride) {
#if defined(__SSE2__)
    __m128i count = _mm_setzero_si128();  // per byte: at most stride / 16 points each
    for (std::int32_t k = 0; k < stride; k += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + k));
        const __m128i across = _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
        const __m128i allowed = _mm_max_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(tx + k)),
                                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(ty + k)));
        // A point within what is allowed gives 0 - 1 = 255, one beyond it 0 - 0.
        count = _mm_sub_epi8(count, _mm_cmpeq_epi8(_mm_subs_epu8(across, allowed), _mm_setzero_si128()));
    }
    const __m128i within = _mm_sad_epu8(count, _mm_setzero_si128());
    const std::int32_t smooth = _mm_cvtsi128_si32(within) + _mm_cvtsi128_si32(_mm_srli_si128(within, 8));
    return stride - smooth >= StepPointsAtLeast;
#else
    std::int32_t count = 0;
    for (std::int32_t k = 0; k < stride; ++k) count += std::abs(int(x[k]) - int(y[k])) > std::max(tx[k], ty[k]);
    return count >= StepPointsAtLeast;
#endif
}

// What the steps of one direction's strips need, whatever the arrangement.
struct TEdgeSteps {
    TEdgeLines Lines;
    bool Tells = false;
    // Per strip, a line of allowed changes: across its last line (from its second last), its
    // first line (from its second), and its third line (from its fourth).
    std::vector<std::uint8_t> AfterLast, BeforeFirst, BeforeThird;
    std::vector<char> Copied;       // the strip's first or last line has a copy in another strip
    std::vector<char> JoinsRight;   // its last line joins some other strip's first without a step
    std::vector<char> JoinsLeft;    // its first line joins some other strip's last without a step
    std::int32_t Tested = 0, Stepped = 0;

    const std::uint8_t* Allowed(const std::vector<std::uint8_t>& lines, std::int32_t s) const {
        return lines.data() + std::size_t(s) * std::size_t(Lines.Stride);
    }
    // Whether line x, allowed tx, joins some strip's first line (other than not_'s) without a step;
    // the strip first that try tells.
    bool JoinsSomeFirst(const std::uint8_t* x, const std::uint8_t* tx, std::int32_t not_, std::int32_t first) const {
        for (std::int32_t i = -1; i < Lines.Count; ++i) {
            const std::int32_t o = i < 0 ? first : i;
            if (o >= 0 && o != not_ && !Steps(x, Lines.First(o), tx, Allowed(BeforeFirst, o), Lines.Stride)) return true;
        }
        return false;
    }
    bool JoinsSomeLast(const std::uint8_t* y, const std::uint8_t* ty, std::int32_t not_, std::int32_t first) const {
        for (std::int32_t i = -1; i < Lines.Count; ++i) {
            const std::int32_t o = i < 0 ? first : i;
            if (o >= 0 && o != not_ && !Steps(Lines.Last(o), y, Allowed(AfterLast, o), ty, Lines.Stride)) return true;
        }
        return false;
    }
};

// Which strips have a line (their last if last, else their first) that another strip's same
// line copies, within CopyLevels a point. Lines that are that close fit any third line within
// the same distance, so the fit matrix rules out most pairs before they are compared.
std::vector<char> FindCopies(const TEdgeLines& lines, const TFitMatrix& matrix, bool last) {
    const std::int32_t n = lines.Count;
    const std::uint32_t within = std::uint32_t(CopyLevels * lines.Points);
    std::vector<char> copied(static_cast<std::size_t>(n), 0);
    auto fit = [&](std::int32_t s, std::int32_t third) {
        return std::int64_t(last ? matrix.Fit[std::size_t(s) * n + third] : matrix.Fit[std::size_t(third) * n + s]);
    };
    for (std::int32_t a = 0; a < n; ++a)
        for (std::int32_t b = a + 1; b < n; ++b) {
            const std::int32_t third = a != 0 ? 0 : b != 1 ? 1 : 2;
            if (std::abs(fit(a, third) - fit(b, third)) > within) continue;
            const auto line = last ? &TEdgeLines::Last : &TEdgeLines::First;
            if (Difference((lines.*line)(a), (lines.*line)(b), lines.Stride) <= within) copied[std::size_t(a)] = copied[std::size_t(b)] = 1;
        }
    return copied;
}

// Strips either edge of which has a copy in another strip (see FindCopies).
std::vector<char> FindCopiedStrips(const TEdgeLines& lines, const TFitMatrix& matrix) {
    if (matrix.Fit.empty()) return std::vector<char>(static_cast<std::size_t>(lines.Count), 0);
    std::vector<char> copied = FindCopies(lines, matrix, true);
    const std::vector<char> firstCopied = FindCopies(lines, matrix, false);
    for (std::size_t s = 0; s < copied.size(); ++s) copied[s] = copied[s] || firstCopied[s];
    return copied;
}

TEdgeSteps FindSteps(TEdgeLines lines, const TFitMatrix& matrix, std::vector<char> copied) {
    TEdgeSteps steps;
    const std::int32_t n = lines.Count, stride = lines.Stride;
    // Where the strips are 4 or 8 lines wide, every JPEG block edge (every 8 lines of the file)
    // falls on a seam and none between the second and third lines: a JPEG's blocking would
    // pass for steps.
    steps.Tells = lines.Width >= StepsFromWidth && 8 % lines.Width != 0 && n >= 3 && lines.Points > 0 &&
                  !matrix.Fit.empty();
    steps.Lines = std::move(lines);
    if (!steps.Tells) return steps;
    const TEdgeLines& l = steps.Lines;
    for (auto* allowed : {&steps.AfterLast, &steps.BeforeFirst, &steps.BeforeThird})
        allowed->resize(std::size_t(n) * std::size_t(stride));
    steps.Copied = std::move(copied);
    steps.JoinsRight.resize(static_cast<std::size_t>(n));
    steps.JoinsLeft.resize(static_cast<std::size_t>(n));
    for (std::int32_t s = 0; s < n; ++s) {
        const std::size_t at = std::size_t(s) * std::size_t(stride);
        StepThreshold(l.Last(s), l.SecondLast(s), steps.AfterLast.data() + at, stride);
        StepThreshold(l.First(s), l.Second(s), steps.BeforeFirst.data() + at, stride);
        StepThreshold(l.Inner(s, 2), l.Inner(s, 3), steps.BeforeThird.data() + at, stride);
    }
    for (std::int32_t s = 0; s < n; ++s) {
        steps.JoinsRight[std::size_t(s)] =
            steps.JoinsSomeFirst(l.Last(s), steps.Allowed(steps.AfterLast, s), s, matrix.BestRight[std::size_t(s)]);
        steps.JoinsLeft[std::size_t(s)] =
            steps.JoinsSomeLast(l.First(s), steps.Allowed(steps.BeforeFirst, s), s, matrix.BestLeft[std::size_t(s)]);
    }
    // The second and third lines of each strip, judged as a seam is.
    for (std::int32_t s = 0; s < n; ++s) {
        if (steps.Copied[std::size_t(s)]) continue;
        ++steps.Tested;
        const std::uint8_t *x = l.Inner(s, 1), *y = l.Inner(s, 2);
        const std::uint8_t *tx = steps.Allowed(steps.BeforeFirst, s), *ty = steps.Allowed(steps.BeforeThird, s);
        if (Steps(x, y, tx, ty, stride) && steps.JoinsSomeFirst(x, tx, s, -1) && steps.JoinsSomeLast(y, ty, s, -1))
            ++steps.Stepped;
    }
    return steps;
}

TStepEvidence WeighSteps(const TEdgeSteps& steps, const std::vector<std::int32_t>& order) {
    TStepEvidence evidence;
    if (!steps.Tells) return evidence;
    evidence.Tested = steps.Tested;
    evidence.Stepped = steps.Stepped;
    const TEdgeLines& lines = steps.Lines;
    for (std::size_t s = 0; s + 1 < order.size(); ++s) {
        const std::int32_t l = order[s], r = order[s + 1];
        if (steps.Copied[std::size_t(l)] || steps.Copied[std::size_t(r)]) continue;
        ++evidence.Seams;
        if (steps.JoinsRight[std::size_t(l)] && steps.JoinsLeft[std::size_t(r)] &&
            Steps(lines.Last(l), lines.First(r), steps.Allowed(steps.AfterLast, l), steps.Allowed(steps.BeforeFirst, r),
                  lines.Stride))
            ++evidence.Steps;
    }
    return evidence;
}

TSeamEvidence Weigh(const TEdgePairs& found, const std::vector<std::int32_t>& order, bool judgeMoved) {
    TSeamEvidence evidence;
    const std::int32_t n = found.Strips;
    evidence.Strips = n;
    // left[a], right[a]: the strips beside strip a in the arrangement (-1: none).
    std::vector<std::int32_t> left(static_cast<std::size_t>(n), -1), right(static_cast<std::size_t>(n), -1);
    for (std::int32_t s = 0; s + 1 < n; ++s) {
        right[std::size_t(order[std::size_t(s)])] = order[std::size_t(s + 1)];
        left[std::size_t(order[std::size_t(s + 1)])] = order[std::size_t(s)];
    }
    for (const auto& [l, r] : found.Pairs) {
        const bool kept = right[std::size_t(l)] == r || (found.Thin && left[std::size_t(l)] == r);
        // Where the picture read is judged as assembling would arrange it, a pair that stands side
        // by side in the picture read and is broken is not counted: a JPEG blurs each strip's
        // edges into the strip beside it, which makes such edges fit a little better.
        const bool besideNow = r == l + 1 || (found.Thin && r == l - 1);
        if (judgeMoved && besideNow && !kept) continue;
        ++evidence.Pairs;
        if (!kept) ++evidence.Broken;
    }
    return evidence;
}

// The chance of refusing a right arrangement that is accepted.
constexpr double RefuseBelow = 1e-6;
// Fewer broken pairs never make an arrangement look scrambled.
constexpr std::int32_t RefuseBrokenAtLeast = 4;
// A wrong password may leave the permutations right but for a few seams: one character wrong
// breaks as few as 3 % of them (at least 3 seams where there are 64 strips or more), and a
// broken seam shows only where it has a pair. So an arrangement is taken as right only where
// pairs stand at nearly every seam (AcceptCoverage of them) and not one is broken: with at least
// 3 breaks in each direction, the chance that none of them falls on a pair is below 1 in 1,000
// a direction.
constexpr double AcceptCoverage = 0.9;
// The largest share of its pairs a scrambled picture keeps as it is read.
constexpr double KeptWhenScrambled = 0.25;
constexpr std::int32_t AcceptStripsAtLeast = 64;
}  // namespace

TSeamLook TSeamEvidence::Look() const {
    if (Strips <= 1) return TSeamLook::Assembled;  // nothing moves
    // Wrong: a right arrangement breaks only pairs that mislead. The tests inside the strips
    // bound their share: one and a half times the share seen there (counting one more misled
    // and one more right, so that few tests give a wide bound), and at least one in ten (in a
    // pattern, the lines tested inside the strips may mislead less than the seams do).
    if (Tested >= TrustedAfterTests) {
        const double misleading = std::max(0.1, 1.5 * (Misled + 1) / (Tested + 2));
        if (misleading <= 0.5 && Broken >= RefuseBrokenAtLeast && BinomialUpper(Broken, Pairs, misleading) < RefuseBelow)
            return TSeamLook::Scrambled;
    }
    // Right: pairs at nearly every seam, none broken.
    if (Strips >= AcceptStripsAtLeast && Broken == 0 && Pairs >= AcceptCoverage * (Strips - 1))
        return TSeamLook::Assembled;
    return TSeamLook::Unclear;
}

TSeamLook TStepEvidence::Look() const {
    // As with pairs: the share of stepping line pairs inside the strips, three times over and
    // counting one more stepping and one more smooth, bounds the share of a right arrangement.
    if (Tested < TrustedAfterTests) return TSeamLook::Unclear;
    const double stepping = std::max(LeastStepShare, 3.0 * (Stepped + 1) / (Tested + 2));
    return stepping <= 0.5 && Steps >= 4 && BinomialUpper(Steps, Seams, stepping) < RefuseBelow ? TSeamLook::Scrambled
                                                                                               : TSeamLook::Unclear;
}

bool TSeamEvidence::KeepsPairs() const {
    return Strips > 1 && Pairs >= TrustedAfterTests && BinomialUpper(Pairs - Broken, Pairs, KeptWhenScrambled) < RefuseBelow;
}

bool TArrangementLook::LooksClear() const {
    return Look() != TSeamLook::Scrambled && (Columns.KeepsPairs() || Rows.KeepsPairs());
}

TSeamLook TArrangementLook::Look() const {
    const TSeamLook columns = Columns.Look(), rows = Rows.Look();
    if (columns == TSeamLook::Scrambled || rows == TSeamLook::Scrambled ||
        ColumnSteps.Look() == TSeamLook::Scrambled || RowSteps.Look() == TSeamLook::Scrambled)
        return TSeamLook::Scrambled;
    if (columns == TSeamLook::Assembled && rows == TSeamLook::Assembled) return TSeamLook::Assembled;
    return TSeamLook::Unclear;
}

struct TStripFit::TDirection {
    TEdgePairs Pairs;
    TEdgeSteps Steps;  // the edge lines with what the steps need
    TFitMatrix Matrix;
    // The tests of the lines inside the strips, made when an arrangement first needs them.
    const TInnerTests& InnerTests() const {
        std::call_once(FInnerOnce, [this] { FInner = TestInnerLines(Steps.Lines, Matrix); });
        return FInner;
    }

private:
    mutable std::once_flag FInnerOnce;
    mutable TInnerTests FInner;
};

namespace {

std::shared_ptr<const TStripFit::TDirection> WeighLines(TEdgeLines lines) {
    auto direction = std::make_shared<TStripFit::TDirection>();
    TEdgePairs pairs = FindPairs(lines, direction->Matrix);
    // A pair whose strips have copies elsewhere tells nothing: in a pattern that repeats, an
    // edge fits each of its copies' neighbours, and which one wins says nothing of the seams.
    std::vector<char> copied = FindCopiedStrips(lines, direction->Matrix);
    std::erase_if(pairs.Pairs, [&](const std::pair<std::int32_t, std::int32_t>& pair) {
        return copied[std::size_t(pair.first)] || copied[std::size_t(pair.second)];
    });
    direction->Pairs = std::move(pairs);
    direction->Steps = FindSteps(std::move(lines), direction->Matrix, std::move(copied));
    return direction;
}

bool Tells(const TBitmap& picture) { return !picture.Empty() && !OverPixelLimit(picture.Width(), picture.Height()); }

}  // namespace

// The edge lines of both directions, read and not yet weighed.
struct TStripFit::TLines {
    TEdgeLines Columns, Rows;
};

TStripFit::TStripFit(const TBitmap& picture) {
    FTells = Tells(picture);
    if (!FTells) return;
    const TLumaReader reader(picture);
    // The two directions are independent: the rows are read and weighed on a thread of their own.
    auto weigh = [&](bool columns) { return WeighLines(ReadLines(reader, picture.Width(), picture.Height(), columns)); };
    std::future<std::shared_ptr<const TDirection>> later;
    try {
        later = std::async(std::launch::async, weigh, false);
    } catch (const std::system_error&) {
        // No thread to be had: one after the other.
    }
    FColumns = weigh(true);
    FRows = later.valid() ? later.get() : weigh(false);
}

TStripFit::TStripFit(TLines lines) : FTells(true) {
    FColumns = WeighLines(std::move(lines.Columns));
    FRows = WeighLines(std::move(lines.Rows));
}

TArrangementLook TStripFit::Look(std::string_view password, int assembles, bool everyPair) const {
    TArrangementLook look;
    if (!FTells) {
        look.Columns.Strips = look.Rows.Strips = 2;  // unclear either way
        return look;
    }
    const bool moved = assembles > 0 && !password.empty() && !everyPair;
    const std::vector<std::int32_t> columns = Arrangement(FColumns->Pairs.Strips, password, assembles),
                                    rows = Arrangement(FRows->Pairs.Strips, password, assembles);
    look.Columns = Weigh(FColumns->Pairs, columns, moved);
    look.Rows = Weigh(FRows->Pairs, rows, moved);
    for (const auto& [evidence, direction] : {std::pair{&look.Columns, FColumns.get()}, std::pair{&look.Rows, FRows.get()}})
        if (evidence->Broken >= RefuseBrokenAtLeast) {
            const TInnerTests& inner = direction->InnerTests();
            evidence->Tested = inner.Tested;
            evidence->Misled = inner.Misled;
        }
    look.ColumnSteps = WeighSteps(FColumns->Steps, columns);
    look.RowSteps = WeighSteps(FRows->Steps, rows);
    return look;
}

bool TStripFit::KeepsPairs() const {
    if (!FTells) return false;
    return Weigh(FColumns->Pairs, Arrangement(FColumns->Pairs.Strips, {}, 0), false).KeepsPairs() ||
           Weigh(FRows->Pairs, Arrangement(FRows->Pairs.Strips, {}, 0), false).KeepsPairs();
}

TArrangementLook LookOfArrangement(const TBitmap& picture, std::string_view password, int assembles) {
    return TStripFit(picture).Look(password, assembles);
}

namespace {

TAssemblyVerdict Judge(const TStripFit& fit, std::string_view password) {
    const TSeamLook assembled = fit.Look(password, 1).Look();
    if (assembled == TSeamLook::Scrambled)
        return fit.Look(password, 2).Look() == TSeamLook::Assembled ? TAssemblyVerdict::ScrambledTwice
                                                                   : TAssemblyVerdict::NotAssembled;
    const TAssemblyVerdict unscrambled =
        assembled == TSeamLook::Assembled ? TAssemblyVerdict::Assembled : TAssemblyVerdict::Unclear;
    // A picture that looks clear as it is read: assembling it scrambles it, when its pairs, the
    // ones side by side now included, say so. (A scrambled picture may keep the few pairs it
    // shows as it is read: those that assembling leaves side by side.) Whether it keeps its
    // pairs is asked first: most pictures assembled are scrambled, and that costs no tests
    // inside the strips.
    if (fit.KeepsPairs() && fit.Look().LooksClear() && fit.Look(password, 1, true).Look() == TSeamLook::Scrambled)
        return TAssemblyVerdict::NotAssembled;
    return unscrambled;
}

}  // namespace

TAssemblyVerdict JudgeAssembly(const TBitmap& picture, std::string_view password) {
    return Judge(TStripFit(picture), password);
}

std::future<TAssemblyVerdict> JudgeAssemblyLater(const TBitmap& picture, std::string password) {
    if (!Tells(picture)) {
        std::promise<TAssemblyVerdict> now;
        now.set_value(JudgeAssembly(picture, password));
        return now.get_future();
    }
    const TLumaReader reader(picture);
    TStripFit::TLines lines{ReadLines(reader, picture.Width(), picture.Height(), true),
                            ReadLines(reader, picture.Width(), picture.Height(), false)};
    auto judge = [](TStripFit::TLines read, std::string secret) {
        const TAssemblyVerdict verdict = Judge(TStripFit(std::move(read)), secret);
        ::explicit_bzero(secret.data(), secret.size());
        return verdict;
    };
    try {
        return std::async(std::launch::async, judge, std::move(lines), std::move(password));
    } catch (const std::system_error&) {
        std::promise<TAssemblyVerdict> now;  // no thread to be had: judged now
        now.set_value(judge(std::move(lines), std::move(password)));
        return now.get_future();
    }
}

}  // namespace tavelix

#include "engine/rounding.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace tavelix {

namespace {

static_assert(std::numeric_limits<long double>::digits == 64,
              "sizes are computed in 80-bit extended precision (64-bit significand)");

constexpr long double Infinity = std::numeric_limits<long double>::infinity();

// The 64 significand bits of a finite, non-zero value: |value| = significand * 2^(exponent - 64).
std::uint64_t Significand(long double value, int& exponent) {
    const long double fraction = std::frexp(std::fabs(value), &exponent);  // [0.5, 1), exact
    return static_cast<std::uint64_t>(std::ldexp(fraction, 64));         // [2^63, 2^64), exact
}

bool EvenSignificand(long double value) {
    int exponent = 0;
    return (Significand(value, exponent) & 1) == 0;
}

// Of two neighbouring extended values, first when its measure is smaller, second when
// larger, the even one on a tie. The measures are exact, so no rounding mode decides.
long double Nearer(long double first, long double firstMeasure, long double second,
                   long double secondMeasure) {
    if (firstMeasure < secondMeasure) return first;
    if (secondMeasure < firstMeasure) return second;
    return EvenSignificand(first) ? first : second;
}

}  // namespace

std::int32_t RoundHalfEven(long double value) {
    if (std::isnan(value)) return 0;
    constexpr long double high = std::numeric_limits<std::int32_t>::max();
    constexpr long double low = std::numeric_limits<std::int32_t>::min();
    if (value >= high) return std::numeric_limits<std::int32_t>::max();
    if (value <= low) return std::numeric_limits<std::int32_t>::min();
    // floor and the subtraction are exact in this range, so the current rounding mode
    // cannot move a value across a half.
    long double result = std::floor(value);
    const long double fraction = value - result;
    if (fraction > 0.5L || (fraction == 0.5L && std::fmod(result, 2.0L) != 0)) result += 1;
    return static_cast<std::int32_t>(result);
}

// Whatever the rounding mode, the hardware quotient q is one of the two extended values
// around a / b, and so is its neighbour n towards a / b. For both, a - x * b is exactly
// representable, so fma gives it without rounding, and the smaller remainder marks the
// nearer value.
long double DivideNearest(long double a, long double b) {
    const long double q = a / b;
    if (!std::isfinite(q) || q == 0) return q;
    const long double rq = std::fma(-q, b, a);
    if (rq == 0) return q;
    const long double n = std::nextafter(q, (rq > 0) == (b > 0) ? Infinity : -Infinity);
    const long double rn = std::fma(-n, b, a);
    return Nearer(q, std::fabs(rq), n, std::fabs(rn));
}

// The error a * b - p of a product rounded either way is exactly representable; the exact
// product lies between p and its neighbour n in the error's direction.
long double MultiplyNearest(long double a, long double b) {
    const long double p = a * b;
    if (!std::isfinite(p) || p == 0) return p;
    const long double error = std::fma(a, b, -p);
    if (error == 0) return p;
    const long double n = std::nextafter(p, error > 0 ? Infinity : -Infinity);
    // p is nearer when |error| is below half the gap between the neighbours; both sides
    // of the comparison are exact (neighbours subtract exactly, doubling is exact).
    const long double gap = std::fabs(n - p);
    return Nearer(p, 2 * std::fabs(error), n, gap);
}

long double ToReal48(long double value) {
    if (value == 0 || !std::isfinite(value)) return value;
    constexpr int dropped = 64 - 40;
    constexpr std::uint64_t firstDropped = std::uint64_t{1} << (dropped - 1);
    constexpr std::uint64_t kept = ~((std::uint64_t{1} << dropped) - 1);
    int exponent = 0;
    const std::uint64_t significand = Significand(value, exponent);
    const std::uint64_t rounded = significand + firstDropped;
    // A carry out of bit 63 means the significand rounded up to the next power of two.
    const long double magnitude = rounded < significand
                                      ? std::ldexp(1.0L, exponent)
                                      : std::ldexp(static_cast<long double>(rounded & kept), exponent - 64);
    return std::signbit(value) ? -magnitude : magnitude;
}

std::int32_t ScaleSize(std::int32_t size, std::int32_t numerator, std::int32_t denominator) {
    if (denominator == 0) return 0;
    // Below 2^63 in magnitude, so exact as an extended value.
    const long double product = static_cast<long double>(std::int64_t{size} * numerator);
    return RoundHalfEven(DivideNearest(product, static_cast<long double>(denominator)));
}

}  // namespace tavelix

// The arithmetic behind every new picture size: 80-bit extended values (long double on
// x86-64), rounded to the nearest with ties to even, and the 6-byte real that holds the
// fit ratio. None of these depends on the floating-point rounding mode in force.
#pragma once

#include <cstdint>

namespace tavelix {

// The nearest integer, an exact half going to the even neighbour (2.5 -> 2, 3.5 -> 4).
// Saturates at the limits of int32; NaN gives 0.
std::int32_t RoundHalfEven(long double value);

// a / b and a * b rounded once to the nearest extended value, ties to even, as the
// default rounding mode does, also while another mode is set.
long double DivideNearest(long double a, long double b);
long double MultiplyNearest(long double a, long double b);

// value as a 6-byte real holds it: the 64-bit significand rounded to 40 bits by adding the
// first bit dropped (to nearest, ties away from zero). Ratios of picture sizes lie far
// inside that type's exponent range, so only the significand is narrowed.
long double ToReal48(long double value);

// size * numerator / denominator: the product formed exactly, divided once in extended
// precision, rounded half to even. For 11/10 and 9/10 this is the rounding of the exact
// value, since an exact half stays exact. A denominator of 0 gives 0.
std::int32_t ScaleSize(std::int32_t size, std::int32_t numerator, std::int32_t denominator);

}  // namespace tavelix

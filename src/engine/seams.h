// How a picture looks at the seams of its strips: a scrambled picture jumps where one strip
// meets the next, an assembled one changes there about as much as anywhere else. Strips are
// those of TTavelix::Scramble (width W div 256 + 1, height H div 256 + 1); the right and bottom
// edge strips, which assembling never puts back in order, are left out.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/bitmap.h"

namespace tavelix {

// A seam jumps when the step across it is this many times the step inside the strips.
constexpr double JumpRatio = 1.5;

// The seams of one direction (the column seams, or the row seams).
struct TSeamSide {
    std::size_t Seams = 0;  // seams looked at
    // Per seam that tells something: the step across it divided by the step inside the strips
    // beside it (brightness, summed along the seam, plus one level per pixel). A seam between
    // flat strips that does not jump clearly tells nothing and has no ratio.
    std::vector<double> Ratios;
    // The geometric mean of the ratios: about 1 for a natural picture, 3 and more for a
    // scrambled photograph; 0 without seams.
    double Score = 0;
    // The share of seams (0 to 1) whose ratio exceeds JumpRatio: seams that jump.
    double Jumping = 0;
    // Whether enough seams tell something (a quarter of them, and at least 8).
    bool Measured() const { return Ratios.size() >= 8 && 4 * Ratios.size() >= Seams; }
};

struct TSeamScore {
    TSeamSide Columns, Rows;
    bool Measured() const { return Columns.Measured() || Rows.Measured(); }
    // The larger of the two directions' values; 0 when neither is measured.
    double Score() const;
    double Jumping() const;
    // A direction that is not measured counts as 0 in both.
};

// Measures the column and row seams of picture (any pixel format) by the brightness of about
// `samples` pixels spread along each seam, and of the pixels beside them (256: about 0.3 ms for
// 1280 x 1024; fewer are enough to tell a scrambled picture from an assembled one, more make
// the share of jumping seams of a picture that is nearly assembled more exact). A direction
// whose strips are one pixel wide (sides under 256 pixels) has nothing inside its strips to
// compare with and is not measured. Never changes picture.
TSeamScore MeasureSeams(const TBitmap& picture, std::int32_t samples = 256);

// What a score says about one picture.
enum class TSeamLook {
    Assembled,  // seams step like the rest of the picture
    Scrambled,  // seams jump clearly
    Unclear,    // between the two, or nothing to measure
};
TSeamLook LookOf(const TSeamScore& score);

// Whether assembling turned before (the picture read) into a picture that looks assembled.
enum class TAssembly {
    Assembled,     // the result looks assembled, clearly more than the picture read
    Unclear,       // the result shows no seams, but too little detail to tell more
    NotAssembled,  // the result's seams jump: a wrong password, or a picture that was not scrambled
};
TAssembly JudgeAssembly(const TSeamScore& before, const TSeamScore& after);

// The guard of an assemble: judges result, the picture just assembled, against before, the
// picture read. The result is measured with `coarse` samples first; a result that shows clean
// seams even so is judged by that, and only the others are measured again with `fine` ones
// (which a refusal always rests on). A right password then costs two coarse measurements;
// a wrong one leaves a third of the seams or more jumping, which coarse samples show as well.
TAssembly GuardAssembly(const TSeamScore& before, const TBitmap& result, std::int32_t coarse, std::int32_t fine);

// Mends the colour along the seams of an assembled picture that was saved scrambled as a JPEG:
// each pixel beside a seam takes its colour (not its brightness) from the pixels within 3 of
// it that have about its brightness, so colour edges stay where brightness edges are. Pixels
// away from the seams and the edge strips are left as they are; so are pictures of other than
// 24 or 32 bits (gray ones have no colour to mend). Notifies when a pixel changed.
void SmoothSeams(TBitmap& picture);

}  // namespace tavelix

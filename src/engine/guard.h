// Whether a picture looks assembled, judged by how the edges of its strips fit together.
//
// Every strip edge is compared with the edges of all other strips. Two edges that fit each
// other clearly better than any other edge fits either of them form a pair: most likely they
// were neighbours in the clear picture. An arrangement of the strips (the picture as it is, or
// as assembling it with a password would leave it) keeps a pair when it puts the two side by
// side, and breaks it otherwise. A clear picture keeps nearly all of its pairs; a scrambled
// picture, or one assembled with a wrong password, breaks many.
//
// Pairs can mislead: in a pattern that repeats, an edge may fit a far copy better than its real
// neighbour. How far the pairs of a picture can be trusted is measured inside its strips, where
// the neighbours are known: two neighbouring lines inside a strip are tested against the edges
// of the other strips the same way. An arrangement is called wrong only when the picture's
// pairs proved trustworthy there, and it breaks more of them than a right arrangement would
// but for a chance below one in a million. It is called right only where pairs stand at nearly
// every seam and it breaks none of them, as a wrong password, which breaks a few seams at the
// least, would but for a chance below one in a thousand.
//
// A picture of flat areas and sharp edges, as a screenshot is, pairs few edges clearly. Cut at
// random, its seams step: they change sharply where the lines beside them inside the strips do
// not. An arrangement is also called wrong when far more of its seams step than line pairs
// inside the strips do. Between right and wrong the picture cannot tell: flat, tiny, thin, noisy
// and patterned pictures, many screenshots of text, and some photographs cannot.
#pragma once

#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "raster/bitmap.h"

namespace tavelix {

enum class TSeamLook {
    Assembled,  // the arrangement keeps its pairs: the strips stand as in the clear picture
    Scrambled,  // it breaks clearly more pairs than a right arrangement would
    Unclear,    // the picture does not tell
};

// What the edges of one direction's strips (the column strips, or the row strips) tell.
struct TSeamEvidence {
    std::int32_t Strips = 0;  // whole strips (the edge strip, which never moves, left out)
    std::int32_t Pairs = 0;   // pairs of strip edges found
    std::int32_t Broken = 0;  // of those, pairs the arrangement does not put side by side
    // Neighbouring lines inside strips whose fit was clear, and of those, lines another strip's
    // edge fitted clearly better: tested only for an arrangement that breaks 4 pairs or more
    // (fewer never look scrambled), else 0.
    std::int32_t Tested = 0;
    std::int32_t Misled = 0;
    TSeamLook Look() const;
    // Whether the arrangement keeps far more pairs than a scrambled picture keeps as it is read
    // (where a JPEG has blurred neighbouring strips' edges into each other, up to a quarter).
    bool KeepsPairs() const;
};

// What the steps of one direction's seams tell (see guard.cpp): seams that change sharply where
// the strips beside them do not.
struct TStepEvidence {
    std::int32_t Seams = 0;    // seams between strips whose edges have no copy
    std::int32_t Steps = 0;    // of those, seams that step
    std::int32_t Tested = 0;   // line pairs inside strips judged as seams are
    std::int32_t Stepped = 0;  // of those, pairs that step
    // Scrambled when far more seams step than the line pairs inside the strips let a right
    // arrangement have but for a chance below one in a million; never Assembled.
    TSeamLook Look() const;
};

struct TArrangementLook {
    TSeamEvidence Columns, Rows;
    TStepEvidence ColumnSteps, RowSteps;
    // Scrambled when either direction looks scrambled, by its pairs or its steps; Assembled when both look assembled (a
    // direction of one strip, where nothing moves, counts as assembled); else Unclear.
    TSeamLook Look() const;
    // A clear picture as it is: neither direction looks scrambled and one keeps its pairs.
    bool LooksClear() const;
};

// The pairs of one direction's strip edges, whatever the arrangement.
struct TEdgePairs {
    std::int32_t Strips = 0;
    bool Thin = false;  // strips one line wide: a pair fits either way round
    std::vector<std::pair<std::int32_t, std::int32_t>> Pairs;  // (left strip, right strip), as read
};

// The fit of a picture's strip edges, found once (about 1 ms for 1280 x 1024), to weigh
// arrangements against.
class TStripFit {
public:
    explicit TStripFit(const TBitmap& picture);
    // How the picture looks with its strips as they stand (assembles 0), or as that many
    // assembles with password would arrange them: the arrangement is worked out from the
    // password's permutations, nothing is assembled. Pairs that stand side by side in the
    // picture as read, and that the arrangement breaks, are left out (a JPEG blurs the edges
    // of neighbouring strips into each other) unless everyPair. Pictures over the pixel limit,
    // which are never scrambled, and empty ones tell nothing (Unclear).
    TArrangementLook Look(std::string_view password = {}, int assembles = 0, bool everyPair = false) const;
    // Whether the picture as read keeps its pairs in either direction (TSeamEvidence::KeepsPairs),
    // which tells cheaply when a picture cannot look clear.
    bool KeepsPairs() const;

    // The edge lines of a picture, read and not yet weighed.
    struct TLines;
    // Weighs lines read before, on this thread alone.
    explicit TStripFit(TLines lines);

    // What one direction's strips tell, whatever the arrangement.
    struct TDirection;

private:
    bool FTells = false;
    std::shared_ptr<const TDirection> FColumns, FRows;
};

TArrangementLook LookOfArrangement(const TBitmap& picture, std::string_view password = {}, int assembles = 0);

// The guard of an assemble: what assembling picture (as read) with password would give.
enum class TAssemblyVerdict {
    Assembled,       // the result looks assembled
    Unclear,         // the picture does not tell
    NotAssembled,    // the result would not look assembled: a wrong password, or a clear picture
    ScrambledTwice,  // it takes two assembles with password to look assembled
};
TAssemblyVerdict JudgeAssembly(const TBitmap& picture, std::string_view password);
// The same judgement, begun now and finished on a thread of its own: picture is read before the
// call returns (it may change afterwards) and weighed while the caller goes on.
std::future<TAssemblyVerdict> JudgeAssemblyLater(const TBitmap& picture, std::string password);

}  // namespace tavelix

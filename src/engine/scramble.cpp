// The password-keyed shuffle of column and row strips.
//
// A picture of W x H pixels is cut into n = W div b column strips of b = W div 256 + 1 pixels
// and m = H div c row strips of c = H div 256 + 1 pixels; the columns right of n*b and the rows
// below m*c belong to no strip (the edge strips). Scrambling moves column strip s to place p[s]
// and then row strip s to place q[s]; assembling undoes the two passes in the opposite order.
// Every move is a block copy of one whole strip between the picture and a work copy of it.
// Pictures scrambled elsewhere with the same password must assemble here, so every step of
// the arrangement below is fixed, down to which bitmap each pass reads and writes.
#include <string.h>

#include <algorithm>
#include <array>
#include <vector>

#include "engine/tavelix.h"

namespace tavelix {

void TTavelix::MakePermutation(std::int32_t n, std::span<std::int32_t> index, std::string_view password) {
    if (n <= 0 || password.empty()) return;
    if (std::size_t(n) > index.size())
        throw TPictureError(TPictureError::Kind::InvalidOperation, "Permutation buffer too small");
    std::vector<bool> taken(std::size_t(n), false);
    std::size_t k = 0;  // password position, from the first character at every call
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int64_t d = std::int64_t(static_cast<unsigned char>(password[k])) - 32;
        // Start at i*d + 1 and probe upward, wrapping from n-1 to 0, to the first free place.
        // For codes below 32 the start is negative; its true remainder keeps it in 0 .. n-1.
        std::int64_t v = (i * d + 1) % n;
        if (v < 0) v += n;
        while (taken[std::size_t(v)]) v = v + 1 == n ? 0 : v + 1;
        taken[std::size_t(v)] = true;
        index[std::size_t(i)] = std::int32_t(v);
        if (++k == password.size()) k = 0;
    }
}

namespace {

TRect ColumnStrip(std::int32_t s, std::int32_t b, std::int32_t height) { return Rect(s * b, 0, s * b + b, height); }
TRect RowStrip(std::int32_t s, std::int32_t c, std::int32_t width) { return Rect(0, s * c, width, s * c + c); }

}  // namespace

void TTavelix::Scramble(TBitmap* bitmap, std::string passwordCopy, bool scramble) {
    // Our copy of the password is wiped when the call ends, however it ends.
    struct TWipe {
        std::string& Text;
        ~TWipe() { ::explicit_bzero(Text.data(), Text.size()); }
    } wipe{passwordCopy};
    const std::string_view password(passwordCopy.data(), std::min(passwordCopy.size(), MaxPasswordLength));
    if (bitmap == nullptr || password.empty()) return;
    const std::int32_t W = bitmap->Width(), H = bitmap->Height();
    if (W < 1 || H < 1 || OverPixelLimit(W, H)) return;

    TBitmap& B = *bitmap;
    TBitmap T;  // the work copy
    const std::int32_t b = W / 256 + 1, c = H / 256 + 1;
    const std::int32_t n = W / b, m = H / c;
    B.Canvas().CopyMode = SRCCOPY;
    T.CopyFrom(B);
    T.Canvas().CopyMode = SRCCOPY;

    std::array<std::int32_t, 256> index{};  // n and m never exceed 255
    std::vector<TBlockMove> moves;
    moves.reserve(256);
    auto columns = [&](auto move) {
        MakePermutation(n, index, password);
        moves.clear();
        for (std::int32_t s = 0; s < n; ++s) moves.push_back(move(s, index[std::size_t(s)]));
    };
    auto rows = [&](auto move) {
        MakePermutation(m, index, password);
        moves.clear();
        for (std::int32_t s = 0; s < m; ++s) moves.push_back(move(s, index[std::size_t(s)]));
    };

    if (scramble) {
        // Columns into B from T, then rows into T from B.
        columns([&](std::int32_t s, std::int32_t p) { return TBlockMove{ColumnStrip(p, b, H), ColumnStrip(s, b, H)}; });
        B.Canvas().CopyBlocks(moves, T.Canvas());
        rows([&](std::int32_t s, std::int32_t q) { return TBlockMove{RowStrip(q, c, W), RowStrip(s, c, W)}; });
        T.Canvas().CopyBlocks(moves, B.Canvas());
    } else {
        // Rows into B from T, then columns into T from B.
        rows([&](std::int32_t s, std::int32_t q) { return TBlockMove{RowStrip(s, c, W), RowStrip(q, c, W)}; });
        B.Canvas().CopyBlocks(moves, T.Canvas());
        columns([&](std::int32_t s, std::int32_t p) { return TBlockMove{ColumnStrip(s, b, H), ColumnStrip(p, b, H)}; });
        T.Canvas().CopyBlocks(moves, B.Canvas());
    }
    B.CopyFrom(T);
}

}  // namespace tavelix

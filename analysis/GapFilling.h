#pragma once

#include "analysis/Plane.h"
#include "analysis/WorkingMemory.h"
#include "darkfill/darkfill.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace darkfill {

// A zero cell searches at most this many distances, 0 to 499, for a source.
constexpr int GapSearchAttempts = 500;

// The gap fill goes down the plane in bands of rows whose distances below (4
// bytes a cell) stay within this many bytes, the second-level cache of the
// machines measured: a plane's distances held whole go through the memory in a
// pass of their own. A 16-bit depth map through a kept Filler, the fastest of
// three runs each: 2.12 against 2.78 ns a cell at 16384 x 16384, 1.35 against
// 1.73 at 2048 x 2048 (bands of 16 MiB: no gain at 16384).
constexpr std::size_t GapBandBytes = std::size_t{1} << 20;

// Fills each zero cell of the plane, in place, with the nearest source (a cell
// above 0) on its row or column: nearer wins; at equal distance left, then right,
// then below, then above. The plane holds the picture with its regions painted;
// filled values never feed other gaps, as a gap is filled only from cells that
// were sources before the fill began.
// Time: band by band down the plane, one pass up the band, which notes in
// scratch each cell's distance to the nearest source below it in its column,
// and counts each row's zero cells; then one pass down, which keeps the row of
// the nearest source above each column and fills each run of zero cells of a
// row: every cell of a run has the same sources on its left and right, found
// once for the run, and each cell takes the nearest of its four. A row dense in
// short runs, or almost all gaps between many sources, finds every cell's
// sources on the left and right by a scan each way instead. A gap costs the same
// however far its source. Where the plane is four bands or more (bandBytes a
// band), a pass up the plane first notes where each band starts. Memory: scratch,
// 4 bytes a cell of a band and a row a band, and a few numbers a row and a
// column, from the arena (a fresh one where none is given). Where sources is not
// empty (one entry a cell, row after row), each filled cell's entry receives the
// direction of its source; the entries of the other cells are left as they are.
// reach: the farthest distance searched, GapSearchAttempts - 1 unless given.
template <class Value>
void FillGaps(Plane<Value>& plane, Plane<std::uint32_t>& scratch, std::span<ValueSource> sources = {},
              int reach = GapSearchAttempts - 1, WorkingArena* arena = nullptr,
              std::size_t bandBytes = GapBandBytes);

// The working memory that FillGaps takes at most for a plane of this size, besides
// the scratch plane.
std::size_t GapFillingBytes(int rows, int columns);

// Going down the plane: lastAbove carries, per column, the row of the nearest
// source at or above row y; the sources of row y move it to y. A loop that
// vectorises, for the stages to inline.
template <class Value>
void NoteSourcesAbove(const Value* row, int* lastAbove, int y, int columns)
{
    for (int x = 0; x < columns; ++x)
        lastAbove[x] = row[x] > Value{} ? y : lastAbove[x];
}

// The count of zero cells of a row, which vectorises where a search for the
// first would go cell by cell.
template <class Value>
int ZeroCount(const Value* row, int columns)
{
    int zeros = 0;
    for (int x = 0; x < columns; ++x)
        zeros += row[x] == Value{};
    return zeros;
}

}  // namespace darkfill

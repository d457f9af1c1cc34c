#pragma once

// The guided fill: the holes left after the painting, filled by one linear system
// whose weights come from a guide picture registered to the raster.
//
// The system. Each hole h is the weighted mean of its neighbours n among the 8
// around it that are sources (above 0) or holes; cells below 0 and cells past the
// edge take no part. A neighbour's weight is exp(-d(n, h) / s), d the square of
// the difference of two cells of the guide, from 0 to 1: of their brightness for
// a grey guide, for a colour guide the mean of the squares over red, green and
// blue, so that two colours of one brightness stay apart (the quality
// benchmark's registered colour frames, without the lean below: 0.69 and 0.72
// times the error of the nearest fill at 640 x 480 and 1280 x 720, against 0.77
// and 0.92 with luma; on their occlusion shadows 3.83 and 2.16 % against 12.27
// and 19.71 %; the Aloe pair 1.29 times against 1.39). s is 0.6 times the
// variance over the 3 x 3 window (the cells past the edge left out; for colour,
// the mean of the three channels' variances), raised to where the closest
// neighbour weighs at least 0.01 before the weights are scaled to sum to 1, and
// to at least 2e-6; no weight falls below e^-9 before the scaling.
// Where the window is flat (its variance below 2e-6 / 0.6, where the spread
// would stand at its floor), the guide cannot say where an edge of the raster
// runs, and the hole leans toward its nearest source (as FillRule::Nearest
// finds it), weighed 0.1 beside its neighbours' 1: deep inside a large hole,
// where the neighbours' pull is weak, it takes that source rather than a blend
// of sources across an edge (a flat grey guide in the quality benchmark: 0.95
// and 0.94 times the error of the nearest fill, against 1.48 and 1.37 without
// the lean; the colour frames 0.68 and 0.72, the Aloe pair 1.31; 0.02 to 1 gave
// about the same). Sources keep their values. Holes connected through holes to
// no source have no mean to take and stay 0; those connected to an infinite
// source (a float raster's +inf) take it, as any mean with it is infinite.
//
// The solver: BiCGSTAB on the holes alone, preconditioned by a multigrid cycle
// (HoleMultigrid.h), in doubles, on each part of the holes (those tied together
// through the 8 around each) by itself, until the part's true residual is at most
// 1e-8 of its right-hand side's (Euclidean norms; so is then the whole's) or
// after 1,000 steps: a part takes the steps it needs, not those of the slowest
// (guided_bench: 0.90 of the time of one system over all the holes, in which the
// largest part, 41 to 69 % of the holes, took the most steps; the holes of 2,600
// to 2,800 parts of at most 32, a tenth of them, take 0.2 ms a frame). It starts
// from each hole's weighted mean of the sources and holes beside it that the
// search from the sources reached before it, which mostly leaves it fewer steps
// than a start from 0 (the quality benchmark's eight 640 x 480 frames with their
// colour frames: 182 steps against 191, 0.97 of the time in guided_bench; eight
// frames of other seeds: 158 against 198; one frame of the sixteen took more, 37
// against 31), then four Gauss-Seidel sweeps of the system (165 steps against 182
// on the eight frames, 0.92 to 0.95 of the time); in one fixed order, so that
// every run gives the same values. Where the guide marks off parts of the holes
// that reach their sources only through several of the weakest weights, the
// system is ill-conditioned, and the values there are good to the residual, not
// to the last digit. Integers round to the nearest, every value held between the
// smallest and the largest source.
//
// Time: a pass over the plane and three over the holes, four sweeps, then per
// step of the solver two products with the system and two multigrid cycles (about
// two products each), each a few operations per hole and neighbour; where a
// window is flat, the nearest fill of a copy of the plane. Memory: the plane of
// hole numbers, which is the caller's scratch (4 bytes a cell), about 500 bytes a
// hole with the multigrid's, and where a window is flat the copy (a value a
// cell), all of which the GuidedFill keeps for the next fill.

#include "analysis/HoleMultigrid.h"
#include "analysis/Plane.h"
#include "analysis/WorkingMemory.h"
#include "darkfill/darkfill.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace darkfill {

class GuidedFill
{
public:
    // Fills the zero cells of plane, a painted picture, guided by guide (of the
    // plane's size, checked by the caller); numbers is scratch of the same size.
    // Where sources is not empty, each filled cell's entry becomes FromGuide.
    template <class Value>
    void Fill(Plane<Value>& plane, const GuideView& guide, Plane<std::uint32_t>& numbers,
              std::span<ValueSource> sources);

    std::size_t Bytes() const;

private:
    template <class Value>
    std::pair<double, double> NumberHoles(const Plane<Value>& plane, Plane<std::uint32_t>& numbers);
    template <GuideFormat Format, class Value>
    void Weigh(const Plane<Value>& plane, const GuideView& guide, const Plane<std::uint32_t>& numbers);
    template <GuideFormat Format, class Value>
    void WeighHole(const Plane<Value>& plane, const GuideView& guide, const Plane<std::uint32_t>& numbers,
                   std::size_t h);
    void Follow(std::vector<std::uint32_t>& queue, std::vector<bool>& marked) const;
    void LeaveUnreached();
    void TakeInfinities();
    template <class Value>
    void LeanFlatHoles(const Plane<Value>& plane, Plane<std::uint32_t>& numbers);
    void Start();
    void Solve(int columns);
    void SolvePart(int columns, std::size_t first, std::size_t end);
    template <class Each>
    void Multiply(const std::vector<double>& in, std::vector<double>& out, std::size_t first, std::size_t end,
                  Each each) const;

    // Per hole, in the order of the plane: its cell, its 8 neighbours' numbers and
    // weights where they are holes (else the number past the last hole, and 0),
    // and the weighted sum of its neighbouring sources. NoHole marks the cells
    // that are no holes in the plane of numbers.
    static constexpr std::uint32_t NoHole = 0xffffffff;
    std::vector<std::size_t> cell_;
    std::vector<std::uint32_t> partStart_, next_;  // where each part's holes start; scratch
    std::vector<std::size_t> placed_;              // scratch: the cells in their parts' order
    std::vector<std::uint32_t> neighbour_;
    std::vector<double> weight_;
    std::vector<double> known_;
    std::vector<bool> reached_;
    std::vector<bool> flat_;      // the holes whose window of the guide is flat
    std::vector<bool> infinite_;  // the holes tied to an infinite source, if any
    std::vector<std::uint32_t> queue_;  // the holes reached and not yet followed
    WorkingArena nearestArena_;         // the copy of the plane that the lean's nearest fill fills
    // The preconditioner, the solution and the solver's vectors.
    HoleMultigrid multigrid_;
    std::vector<double> x_, r_, shadow_, p_, v_, s_, t_, pz_, sz_;
};

}  // namespace darkfill

#pragma once

// A multigrid V-cycle for the guided fill's system, as its solver's
// preconditioner: an approximate inverse that also reaches the smooth errors
// across a large hole, which a step on the fine cells alone moves one cell.
//
// The method: aggregation that follows the weights. Each coarser level joins
// the unknowns of each 2 x 2 block of grid cells that strong weights tie
// together (a weight at least a quarter of the row's largest), so that an
// aggregate does not straddle an edge of the guide, where the values on either
// side are free of each other; its operator is the Galerkin product R A P, with
// P copying a coarse value to the unknowns of its aggregate and R summing over
// them, but that each of its rows keeps only its 3 strongest neighbours of
// lower numbers and its 3 strongest of higher ones, the others' coefficients
// added to its own, so that a constant still has the same image. An unknown
// tied to no other is solved where it stands and takes no part above. Where the
// weights would leave more than three quarters of the unknowns (a level of many
// weak ties), the blocks are joined whole. A cycle smooths with one
// Gauss-Seidel sweep forward (but on the finest level), adds 1.3 times the
// correction from the level above, and sweeps backward; the coarsest level (at
// most 32 unknowns) is solved by LU with partial pivoting. The order of every
// loop is fixed: the same input gives the same output.
//
// Cost: building, a few passes over the unknowns of each level; a cycle, about
// two products with the fine operator. Everything but the building's sums and
// the coarsest level's factors is in floats: it only preconditions, and floats
// halve what a sweep reads. Memory: about 90 bytes an unknown on the fine level,
// about half as much again for the coarser ones, and 20 bytes an unknown of
// scratch kept from the building.

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace darkfill {

class HoleMultigrid
{
public:
    static constexpr std::uint32_t None = 0xffffffff;

    // The system x_i - sum_k w_ik x_n(i,k) = b_i of a part of the holes of a
    // plane of the given columns, numbered from first in the plane's order: unknown
    // i at cell cells[i] (y * columns + x), its 8 neighbours' numbers
    // (neighbours[8 i + k], a number outside the part where there is none, in the
    // order of the 3 x 3 window without its centre) and their weights. An unknown
    // without neighbours keeps x = b. The levels lie on the smallest grid that
    // holds the part.
    void Build(int columns, std::span<const std::size_t> cells, std::span<const std::uint32_t> neighbours,
               std::span<const double> weights, std::uint32_t first = 0);

    // out = one cycle from 0 for the right-hand side in.
    void Apply(std::span<const double> in, std::span<double> out);

    std::size_t Bytes() const;

private:
    struct Level {
        int rows = 0;
        int columns = 0;
        std::size_t width = 0;                // entries per unknown besides its own
        std::size_t lower = 0;                // the first of them: its neighbours of lower numbers
        std::vector<std::size_t> cell;        // per unknown
        std::vector<std::uint32_t> coarse;    // per unknown: its aggregate above, or None
        std::vector<float> coefficient;       // width per unknown
        std::vector<std::uint32_t> neighbour; // width per unknown; none reads the 0 past the last
        std::vector<float> centre, inverse;   // per unknown: its own coefficient and 1 / it
        std::vector<float> x, b;              // one more each: the 0 that None reads

        std::size_t Unknowns() const { return cell.size(); }
    };

    static void PlaceOnItsBox(Level& fine, int columns, std::span<const std::size_t> cells);
    void Coarsen(Level& fine, Level& coarse);
    std::pair<std::size_t, std::size_t> KeepStrongest(std::size_t a, std::size_t first, double& centre);
    std::size_t Aggregate(Level& fine, Level& coarse, bool followWeights);
    static void Sweep(Level& level, bool forward);
    void Cycle(std::size_t at);
    void FactorCoarsest();
    void SolveCoarsest();

    std::vector<Level> levels_;  // the first count_ in use
    std::size_t count_ = 0;
    // Scratch of the building: a forest of the unknowns joined, and a row of
    // the operator above as it is summed.
    std::vector<std::uint32_t> parent_, number_, first_, start_, member_, where_, rowStart_, rowNeighbour_;
    std::vector<std::size_t> block_, rowOrder_;
    std::vector<double> rowSum_;
    // The coarsest level's LU factors, dense, and their row order.
    std::vector<double> lu_;
    std::vector<std::size_t> order_;
};

}  // namespace darkfill

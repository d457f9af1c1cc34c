#pragma once

// A multigrid V-cycle for the guided fill's system, as its solver's
// preconditioner: an approximate inverse that also reaches the smooth errors
// across a large hole, which a step on the fine cells alone moves one cell.
//
// The method: aggregation. Each coarser level has a cell for every 2 x 2 cells
// of the one below that hold unknowns; its operator is the Galerkin product
// R A P, with P copying a coarse value to the cells of its block and R summing
// over them, which keeps a 3 x 3 stencil on every level. A cycle smooths with one
// Gauss-Seidel sweep forward, corrects from the level above, and sweeps
// backward; the coarsest level (at most 32 unknowns, or one cell) is solved by
// LU with partial pivoting. The order of every loop is fixed: the same input
// gives the same output.
//
// Cost: building, a pass over the unknowns of each level; a cycle, about five
// products with the fine operator. Memory: about 110 bytes an unknown on the
// fine level (coefficients in floats: it only preconditions), a third more for
// the coarser ones, and 4 bytes a cell of each coarser grid.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace darkfill {

class HoleMultigrid
{
public:
    static constexpr std::uint32_t None = 0xffffffff;

    // The system x_i - sum_k w_ik x_n(i,k) = b_i on a grid of rows x columns:
    // unknown i at cell cells[i] (y * columns + x, in the grid's order), its 8
    // neighbours k in the order of the 3 x 3 window without its centre
    // (neighbours[8 i + k], None where there is no unknown) and their weights.
    // Unknowns that do not take part keep x = b.
    void Build(int rows, int columns, std::span<const std::size_t> cells, std::span<const std::uint32_t> neighbours,
               std::span<const double> weights, const std::vector<bool>& takesPart);

    // out = one cycle from 0 for the right-hand side in.
    void Apply(std::span<const double> in, std::span<double> out);

    std::size_t Bytes() const;

private:
    struct Level {
        int rows = 0;
        int columns = 0;
        std::vector<std::size_t> cell;        // per unknown
        std::vector<std::uint32_t> coarse;    // per unknown: its unknown on the level above, or None
        std::vector<float> coefficient;       // 9 per unknown, the centre at 4
        std::vector<double> inverse;          // per unknown: 1 / its centre
        std::vector<std::uint32_t> neighbour; // 9 per unknown; None reads the 0 past the last
        std::vector<double> x, b;             // one more each: the 0 that None reads
        std::vector<std::uint32_t> block;     // per grid cell: its unknown, or None

        std::size_t Unknowns() const { return cell.size(); }
    };

    static void Coarsen(Level& fine, Level& coarse);
    static void Sweep(Level& level, bool forward);
    static void Invert(Level& level);
    void Cycle(std::size_t at);
    void FactorCoarsest();
    void SolveCoarsest();

    std::vector<Level> levels_;  // the first count_ in use
    std::size_t count_ = 0;
    // The coarsest level's LU factors, dense, and their row order.
    std::vector<double> lu_;
    std::vector<std::size_t> order_;
};

}  // namespace darkfill

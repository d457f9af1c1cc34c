#include "analysis/HoleMultigrid.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace darkfill {

namespace {

// The 3 x 3 window's slots, row after row: slot s lies (s / 3 - 1, s % 3 - 1)
// away; the 8 neighbours of the fine system are the slots without the centre.
constexpr int Centre = 4;
constexpr int SlotOfNeighbour(int k)
{
    return k < Centre ? k : k + 1;
}

constexpr std::size_t CoarsestUnknowns = 32;

}  // namespace

void HoleMultigrid::Build(int rows, int columns, std::span<const std::size_t> cells,
                          std::span<const std::uint32_t> neighbours, std::span<const double> weights,
                          const std::vector<bool>& takesPart)
{
    // The levels of the last system are kept with their memory, for the next one.
    if (levels_.empty())
        levels_.emplace_back();
    count_ = 1;
    Level& fine = levels_.front();
    const std::size_t unknowns = cells.size();
    fine.rows = rows;
    fine.columns = columns;
    fine.cell.assign(cells.begin(), cells.end());
    fine.coefficient.assign(unknowns * 9, 0.0f);
    fine.neighbour.assign(unknowns * 9, None);
    fine.coarse.assign(unknowns, None);
    for (std::size_t i = 0; i < unknowns; ++i) {
        fine.coefficient[i * 9 + Centre] = 1.0f;
        fine.neighbour[i * 9 + Centre] = static_cast<std::uint32_t>(i);
        if (!takesPart[i])
            continue;
        fine.coarse[i] = 0;  // takes part in the level above
        for (int k = 0; k < 8; ++k)
            if (neighbours[i * 8 + k] != None) {
                fine.coefficient[i * 9 + SlotOfNeighbour(k)] = static_cast<float>(-weights[i * 8 + k]);
                fine.neighbour[i * 9 + SlotOfNeighbour(k)] = neighbours[i * 8 + k];
            }
    }
    fine.x.assign(unknowns + 1, 0.0);
    fine.b.assign(unknowns + 1, 0.0);
    Invert(fine);
    while (levels_[count_ - 1].Unknowns() > CoarsestUnknowns &&
           (levels_[count_ - 1].rows > 1 || levels_[count_ - 1].columns > 1)) {
        if (count_ == levels_.size())
            levels_.emplace_back();
        ++count_;
        Coarsen(levels_[count_ - 2], levels_[count_ - 1]);
    }
    FactorCoarsest();
}

// The level above: a cell for each 2 x 2 block that holds an unknown taking part,
// numbered in the grid's order, and the operator summed over the blocks.
void HoleMultigrid::Coarsen(Level& fine, Level& coarse)
{
    coarse.rows = (fine.rows + 1) / 2;
    coarse.columns = (fine.columns + 1) / 2;
    const auto blockOf = [&](std::size_t cell) {
        const std::size_t y = cell / fine.columns, x = cell % fine.columns;
        return (y / 2) * coarse.columns + x / 2;
    };
    std::vector<std::uint32_t>& number = coarse.block;
    number.assign(static_cast<std::size_t>(coarse.rows) * coarse.columns, None);
    coarse.cell.clear();
    for (std::size_t i = 0; i < fine.Unknowns(); ++i)
        if (fine.coarse[i] != None)
            number[blockOf(fine.cell[i])] = 0;
    for (std::size_t c = 0; c < number.size(); ++c)
        if (number[c] != None) {
            number[c] = static_cast<std::uint32_t>(coarse.cell.size());
            coarse.cell.push_back(c);
        }
    for (std::size_t i = 0; i < fine.Unknowns(); ++i)
        if (fine.coarse[i] != None)
            fine.coarse[i] = number[blockOf(fine.cell[i])];

    const std::size_t unknowns = coarse.Unknowns();
    coarse.coefficient.assign(unknowns * 9, 0.0f);
    coarse.neighbour.assign(unknowns * 9, None);
    coarse.coarse.assign(unknowns, 0);
    for (std::size_t i = 0; i < fine.Unknowns(); ++i) {
        const std::uint32_t to = fine.coarse[i];
        if (to == None)
            continue;
        const long row = static_cast<long>(coarse.cell[to] / coarse.columns);
        const long column = static_cast<long>(coarse.cell[to] % coarse.columns);
        for (int s = 0; s < 9; ++s) {
            const std::uint32_t j = fine.neighbour[i * 9 + s];
            if (j == None || fine.coarse[j] == None)
                continue;
            const std::uint32_t other = fine.coarse[j];
            const long dy = static_cast<long>(coarse.cell[other] / coarse.columns) - row;
            const long dx = static_cast<long>(coarse.cell[other] % coarse.columns) - column;
            const std::size_t slot = to * std::size_t{9} + static_cast<std::size_t>((dy + 1) * 3 + dx + 1);
            coarse.coefficient[slot] += fine.coefficient[i * 9 + s];
            coarse.neighbour[slot] = other;
        }
    }
    coarse.x.assign(unknowns + 1, 0.0);
    coarse.b.assign(unknowns + 1, 0.0);
    Invert(coarse);
}

// The reciprocals of the centres, 0 for a centre that is not above 0 (which no
// sweep then changes).
void HoleMultigrid::Invert(Level& level)
{
    level.inverse.resize(level.Unknowns());
    for (std::size_t i = 0; i < level.Unknowns(); ++i) {
        const double centre = level.coefficient[i * 9 + Centre];
        level.inverse[i] = centre > 0.0 ? 1.0 / centre : 0.0;
    }
}

// One Gauss-Seidel sweep, in the order of the unknowns or against it. The row's
// neighbours are taken in two sums that do not wait on each other, and the one
// solved just before (on the left going forward, on the right going back) last:
// what one unknown waits for from the one before is a product and a sum.
void HoleMultigrid::Sweep(Level& level, bool forward)
{
    const std::size_t unknowns = level.Unknowns();
    const auto last = static_cast<std::uint32_t>(unknowns);
    const int before = forward ? 3 : 5, after = forward ? 5 : 3;
    const double* x = level.x.data();
    for (std::size_t n = 0; n < unknowns; ++n) {
        const std::size_t i = forward ? n : unknowns - 1 - n;
        const float* c = &level.coefficient[i * 9];
        const std::uint32_t* at = &level.neighbour[i * 9];
        const auto term = [&](int s) { return c[s] * x[std::min(at[s], last)]; };
        const double above = term(0) + term(1) + term(2), below = term(6) + term(7) + term(8);
        const double sum = level.b[i] - (above + below) - term(after) - term(before);
        if (level.inverse[i] != 0.0)
            level.x[i] = sum * level.inverse[i];
    }
}

void HoleMultigrid::Cycle(std::size_t at)
{
    Level& level = levels_[at];
    const std::size_t unknowns = level.Unknowns();
    std::fill(level.x.begin(), level.x.end(), 0.0);
    if (at + 1 == count_) {
        SolveCoarsest();
        return;
    }
    Sweep(level, true);
    Level& coarse = levels_[at + 1];
    std::fill(coarse.b.begin(), coarse.b.end(), 0.0);
    const auto last = static_cast<std::uint32_t>(unknowns);
    for (std::size_t i = 0; i < unknowns; ++i) {
        if (level.coarse[i] == None)
            continue;
        double sum = level.b[i];
        for (int s = 0; s < 9; ++s)
            sum -= level.coefficient[i * 9 + s] * level.x[std::min(level.neighbour[i * 9 + s], last)];
        coarse.b[level.coarse[i]] += sum;
    }
    Cycle(at + 1);
    for (std::size_t i = 0; i < unknowns; ++i)
        if (level.coarse[i] != None)
            level.x[i] += coarse.x[level.coarse[i]];
    Sweep(level, false);
}

void HoleMultigrid::Apply(std::span<const double> in, std::span<double> out)
{
    Level& fine = levels_.front();
    std::copy(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(fine.Unknowns()), fine.b.begin());
    Cycle(0);
    std::copy(fine.x.begin(), fine.x.begin() + static_cast<std::ptrdiff_t>(fine.Unknowns()), out.begin());
}

void HoleMultigrid::FactorCoarsest()
{
    const Level& level = levels_[count_ - 1];
    const std::size_t n = level.Unknowns();
    lu_.assign(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        for (int s = 0; s < 9; ++s)
            if (const std::uint32_t j = level.neighbour[i * 9 + s]; j != None)
                lu_[i * n + j] += level.coefficient[i * 9 + s];
    order_.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        order_[i] = i;
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t row = col + 1; row < n; ++row)
            if (std::abs(lu_[row * n + col]) > std::abs(lu_[pivot * n + col]))
                pivot = row;
        if (pivot != col) {
            std::swap_ranges(lu_.begin() + static_cast<std::ptrdiff_t>(col * n),
                             lu_.begin() + static_cast<std::ptrdiff_t>((col + 1) * n),
                             lu_.begin() + static_cast<std::ptrdiff_t>(pivot * n));
            std::swap(order_[col], order_[pivot]);
        }
        // A block of unknowns that only weak weights tie to the rest may leave a
        // pivot at 0: held at 1, the cycle stays an approximation.
        if (lu_[col * n + col] == 0.0)
            lu_[col * n + col] = 1.0;
        for (std::size_t row = col + 1; row < n; ++row) {
            const double factor = lu_[row * n + col] /= lu_[col * n + col];
            for (std::size_t k = col + 1; k < n; ++k)
                lu_[row * n + k] -= factor * lu_[col * n + k];
        }
    }
}

void HoleMultigrid::SolveCoarsest()
{
    Level& level = levels_[count_ - 1];
    const std::size_t n = level.Unknowns();
    for (std::size_t i = 0; i < n; ++i) {
        double sum = level.b[order_[i]];
        for (std::size_t k = 0; k < i; ++k)
            sum -= lu_[i * n + k] * level.x[k];
        level.x[i] = sum;
    }
    for (std::size_t i = n; i-- > 0;) {
        double sum = level.x[i];
        for (std::size_t k = i + 1; k < n; ++k)
            sum -= lu_[i * n + k] * level.x[k];
        level.x[i] = sum / lu_[i * n + i];
    }
}

std::size_t HoleMultigrid::Bytes() const
{
    std::size_t bytes = lu_.capacity() * sizeof(double) + order_.capacity() * sizeof(std::size_t);
    for (const Level& level : levels_)
        bytes += level.cell.capacity() * sizeof(std::size_t) +
                 (level.coarse.capacity() + level.block.capacity()) * sizeof(std::uint32_t) +
                 level.coefficient.capacity() * sizeof(float) +
                 (level.inverse.capacity() + level.x.capacity() + level.b.capacity()) * sizeof(double) +
                 level.neighbour.capacity() * sizeof(std::uint32_t);
    return bytes;
}

}  // namespace darkfill

#include "analysis/HoleMultigrid.h"

#include "analysis/NumberForest.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace darkfill {

namespace {

constexpr std::size_t CoarsestUnknowns = 32;

// A weight at least this share of the row's largest ties two unknowns into one
// aggregate; across the guide's edges weights fall to e^-9 of the others. A
// tenth and a half took more steps on the rendered scenes.
constexpr double Strong = 0.25;

// The coarse correction, taken 1.3 times: a correction constant over an
// aggregate falls short of the smooth error it stands for. 1.3 took the fewest
// cycles on the rendered scenes (a sixth fewer than 1, a third fewer with a flat
// guide); 1.6 took more than 1.
constexpr double OverCorrection = 1.3;

// A coarser row keeps this many of its lower neighbours and of its upper ones,
// the strongest; the rest are summed into its centre. The rows of the Galerkin
// product widen level by level (on guided_bench's frames to 14, 18, 22 and more
// slots, against 5 to 7 neighbours on average), and a sweep reads every slot:
// with 3 a side the solver took about as many steps (182 against 177 over the
// eight frames) in 0.82 to 0.86 of the time; 4 a side took 1.02 times as long
// as 3, 5 took 1.06, and 2 took 1.09 (223 steps).
constexpr std::size_t MostPerSide = 3;

}  // namespace

void HoleMultigrid::Build(int columns, std::span<const std::size_t> cells, std::span<const std::uint32_t> neighbours,
                          std::span<const double> weights, std::uint32_t first)
{
    // The levels of the last system are kept with their memory, for the next one.
    if (levels_.empty())
        levels_.emplace_back();
    count_ = 1;
    Level& fine = levels_.front();
    const std::size_t unknowns = cells.size();
    PlaceOnItsBox(fine, columns, cells);
    fine.width = 8;
    fine.lower = 4;  // the neighbours above and on the left come first in the grid's order
    fine.coefficient.assign(unknowns * 8, 0.0f);
    fine.neighbour.assign(unknowns * 8, static_cast<std::uint32_t>(unknowns));
    fine.coarse.assign(unknowns, None);
    for (std::size_t i = 0; i < unknowns; ++i)
        for (std::size_t k = 0; k < 8; ++k)
            if (const std::uint32_t j = neighbours[i * 8 + k] - first; j < unknowns) {
                fine.coefficient[i * 8 + k] = static_cast<float>(-weights[i * 8 + k]);
                fine.neighbour[i * 8 + k] = j;
                fine.coarse[i] = 0;  // tied to another: takes part in the level above
            }
    fine.centre.assign(unknowns, 1.0);
    fine.inverse.assign(unknowns, 1.0);
    fine.x.assign(unknowns + 1, 0.0);
    fine.b.assign(unknowns + 1, 0.0);
    while (levels_[count_ - 1].Unknowns() > CoarsestUnknowns) {
        if (count_ == levels_.size())
            levels_.emplace_back();
        ++count_;
        Coarsen(levels_[count_ - 2], levels_[count_ - 1]);
    }
    FactorCoarsest();
}

// The unknowns' cells on the smallest grid that holds them, its first row and
// column even, so that its 2 x 2 blocks are the plane's.
void HoleMultigrid::PlaceOnItsBox(Level& fine, int columns, std::span<const std::size_t> cells)
{
    const auto width = static_cast<std::size_t>(columns);
    const std::size_t top = cells.front() / width, bottom = cells.back() / width;
    std::size_t left = width, right = 0;
    for (const std::size_t cell : cells) {
        left = std::min(left, cell % width);
        right = std::max(right, cell % width);
    }
    left &= ~std::size_t{1};
    const std::size_t firstRow = top & ~std::size_t{1}, boxColumns = right - left + 1;
    fine.rows = static_cast<int>(bottom - firstRow + 1);
    fine.columns = static_cast<int>(boxColumns);
    fine.cell.resize(cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i)
        fine.cell[i] = (cells[i] / width - firstRow) * boxColumns + cells[i] % width - left;
}

// The level above: an unknown for each aggregate, in the order of its first
// member, and the operator summed over the aggregates.
void HoleMultigrid::Coarsen(Level& fine, Level& coarse)
{
    coarse.rows = (fine.rows + 1) / 2;
    coarse.columns = (fine.columns + 1) / 2;
    const std::size_t taking = fine.Unknowns() - static_cast<std::size_t>(
                                   std::count(fine.coarse.begin(), fine.coarse.end(), None));
    // Where the weights leave too many, the blocks are joined whole: the levels
    // then shrink with the grid, and end.
    if (Aggregate(fine, coarse, true) * 4 > taking * 3)
        Aggregate(fine, coarse, false);

    // The members of each aggregate, in their order.
    const std::size_t unknowns = coarse.Unknowns();
    start_.assign(unknowns + 1, 0);
    for (const std::uint32_t a : fine.coarse)
        if (a != None)
            ++start_[a + 1];
    for (std::size_t a = 0; a < unknowns; ++a)
        start_[a + 1] += start_[a];
    member_.resize(taking);
    first_.assign(start_.begin(), start_.end() - 1);
    for (std::size_t i = 0; i < fine.Unknowns(); ++i)
        if (fine.coarse[i] != None)
            member_[first_[fine.coarse[i]]++] = static_cast<std::uint32_t>(i);

    // Each row of the operator above, summed in the order of its members and
    // their neighbours, its entries kept together until the widest is known.
    coarse.centre.resize(unknowns);
    coarse.inverse.resize(unknowns);
    where_.assign(unknowns, None);
    rowStart_.assign(1, 0);
    rowOrder_.clear();
    rowNeighbour_.clear();
    rowSum_.clear();
    std::size_t lower = 0, upper = 0;
    for (std::size_t a = 0; a < unknowns; ++a) {
        const std::size_t from = rowNeighbour_.size();
        double centre = 0.0;
        for (std::uint32_t m = start_[a]; m < start_[a + 1]; ++m) {
            const std::uint32_t i = member_[m];
            centre += fine.centre[i];
            for (std::size_t s = 0; s < fine.width; ++s) {
                const std::uint32_t j = fine.neighbour[i * fine.width + s];
                const std::uint32_t other = j < fine.Unknowns() ? fine.coarse[j] : None;
                if (other == None)
                    continue;
                const double c = fine.coefficient[i * fine.width + s];
                if (other == a) {
                    centre += c;
                } else if (where_[other] == None) {
                    where_[other] = static_cast<std::uint32_t>(rowNeighbour_.size());
                    rowNeighbour_.push_back(other);
                    rowSum_.push_back(c);
                } else {
                    rowSum_[where_[other]] += c;
                }
            }
        }
        for (std::size_t e = from; e < rowNeighbour_.size(); ++e)
            where_[rowNeighbour_[e]] = None;
        const auto [below, above] = KeepStrongest(a, from, centre);
        // A centre that is not above 0 (an aggregate that holds all its weight)
        // is one that no sweep changes.
        coarse.centre[a] = static_cast<float>(centre);
        coarse.inverse[a] = centre > 0.0 ? static_cast<float>(1.0 / centre) : 0.0f;
        rowStart_.push_back(static_cast<std::uint32_t>(rowOrder_.size()));
        lower = std::max(lower, below);
        upper = std::max(upper, above);
    }

    // Each row's lower neighbours in its first slots, the last of them in the last
    // slot, its upper ones after them, the first of them first.
    const std::size_t width = lower + upper;
    coarse.width = width;
    coarse.lower = lower;
    coarse.coefficient.assign(unknowns * width, 0.0f);
    coarse.neighbour.assign(unknowns * width, static_cast<std::uint32_t>(unknowns));
    coarse.coarse.assign(unknowns, None);
    for (std::size_t a = 0; a < unknowns; ++a) {
        const auto below = static_cast<std::size_t>(
            std::count_if(rowOrder_.begin() + rowStart_[a], rowOrder_.begin() + rowStart_[a + 1],
                          [&](std::size_t e) { return rowNeighbour_[e] < a; }));
        std::size_t slot = a * width + lower - below;
        for (std::uint32_t k = rowStart_[a]; k < rowStart_[a + 1]; ++k, ++slot) {
            coarse.coefficient[slot] = static_cast<float>(rowSum_[rowOrder_[k]]);
            coarse.neighbour[slot] = rowNeighbour_[rowOrder_[k]];
        }
        if (rowStart_[a + 1] > rowStart_[a])
            coarse.coarse[a] = 0;
    }
    coarse.x.assign(unknowns + 1, 0.0);
    coarse.b.assign(unknowns + 1, 0.0);
}

// Of the entries of row a, rowNeighbour_'s and rowSum_'s from first on, keeps
// the MostPerSide strongest of its lower neighbours and of its upper ones, in
// the order of their numbers, at the end of rowOrder_; adds the others to its
// centre, so that the row still sums to what it did and a constant is still
// taken to the same. Returns how many lower and upper ones it keeps.
std::pair<std::size_t, std::size_t> HoleMultigrid::KeepStrongest(std::size_t a, std::size_t first, double& centre)
{
    const auto from = static_cast<std::ptrdiff_t>(rowOrder_.size());
    for (std::size_t e = first; e < rowNeighbour_.size(); ++e)
        rowOrder_.push_back(e);
    const auto row = rowOrder_.begin() + from;
    // The lower neighbours first, each side's strongest (most negative) first.
    std::sort(row, rowOrder_.end(), [&](std::size_t p, std::size_t q) {
        const bool pLower = rowNeighbour_[p] < a, qLower = rowNeighbour_[q] < a;
        if (pLower != qLower)
            return pLower;
        if (rowSum_[p] != rowSum_[q])
            return rowSum_[p] < rowSum_[q];
        return rowNeighbour_[p] < rowNeighbour_[q];
    });
    const auto below = static_cast<std::size_t>(
        std::count_if(row, rowOrder_.end(), [&](std::size_t e) { return rowNeighbour_[e] < a; }));
    const std::size_t above = static_cast<std::size_t>(rowOrder_.end() - row) - below;
    const std::size_t keptBelow = std::min(below, MostPerSide), keptAbove = std::min(above, MostPerSide);
    for (std::size_t k = keptBelow; k < below; ++k)
        centre += rowSum_[row[static_cast<std::ptrdiff_t>(k)]];
    for (std::size_t k = below + keptAbove; k < below + above; ++k)
        centre += rowSum_[row[static_cast<std::ptrdiff_t>(k)]];
    std::copy(row + static_cast<std::ptrdiff_t>(below), row + static_cast<std::ptrdiff_t>(below + keptAbove),
              row + static_cast<std::ptrdiff_t>(keptBelow));
    rowOrder_.resize(static_cast<std::size_t>(from) + keptBelow + keptAbove);
    // In the order of the neighbours' numbers (see Sweep).
    std::sort(rowOrder_.begin() + from, rowOrder_.end(),
              [&](std::size_t p, std::size_t q) { return rowNeighbour_[p] < rowNeighbour_[q]; });
    return {keptBelow, keptAbove};
}

// Joins the unknowns that take part in each 2 x 2 block of grid cells: those
// that strong weights tie where followWeights, else all. Numbers the aggregates
// in fine.coarse and gives each its cell above; returns how many there are.
std::size_t HoleMultigrid::Aggregate(Level& fine, Level& coarse, bool followWeights)
{
    const std::size_t unknowns = fine.Unknowns();
    block_.resize(unknowns);
    parent_.resize(unknowns);
    for (std::size_t i = 0; i < unknowns; ++i) {
        const std::size_t y = fine.cell[i] / static_cast<std::size_t>(fine.columns);
        const std::size_t x = fine.cell[i] % static_cast<std::size_t>(fine.columns);
        block_[i] = (y / 2) * static_cast<std::size_t>(coarse.columns) + x / 2;
        parent_[i] = static_cast<std::uint32_t>(i);
    }
    if (followWeights) {
        for (std::size_t i = 0; i < unknowns; ++i) {
            if (fine.coarse[i] == None)
                continue;
            const float* c = fine.coefficient.data() + i * fine.width;
            const float strongest = *std::min_element(c, c + fine.width);
            for (std::size_t s = 0; s < fine.width; ++s) {
                const std::uint32_t j = fine.neighbour[i * fine.width + s];
                if (j < unknowns && c[s] <= Strong * strongest && block_[j] == block_[i])
                    JoinTrees(parent_, static_cast<std::uint32_t>(i), j);
            }
        }
    } else {
        first_.assign(static_cast<std::size_t>(coarse.rows) * static_cast<std::size_t>(coarse.columns), None);
        for (std::size_t i = 0; i < unknowns; ++i) {
            if (fine.coarse[i] == None)
                continue;
            std::uint32_t& first = first_[block_[i]];
            if (first == None)
                first = static_cast<std::uint32_t>(i);
            else
                JoinTrees(parent_, first, static_cast<std::uint32_t>(i));
        }
    }
    coarse.cell.clear();
    number_.assign(unknowns, None);
    for (std::size_t i = 0; i < unknowns; ++i) {
        if (fine.coarse[i] == None)
            continue;
        const std::uint32_t root = RootOf(parent_, static_cast<std::uint32_t>(i));
        if (number_[root] == None) {
            number_[root] = static_cast<std::uint32_t>(coarse.cell.size());
            coarse.cell.push_back(block_[i]);
        }
        fine.coarse[i] = number_[root];
    }
    return coarse.cell.size();
}

namespace {

// The terms of slots [from, to) of a row, in two sums that do not wait on each
// other.
[[gnu::always_inline]] inline float Terms(const float* c, const std::uint32_t* at, const float* x, std::size_t from,
                                          std::size_t to)
{
    float even = 0.0f, odd = 0.0f;
    std::size_t s = from;
    for (; s + 1 < to; s += 2) {
        even += c[s] * x[at[s]];
        odd += c[s + 1] * x[at[s + 1]];
    }
    if (s < to)
        even += c[s] * x[at[s]];
    return even + odd;
}

}  // namespace

// One Gauss-Seidel sweep, in the order of the unknowns or against it: forward
// from 0 over the lower neighbours alone (the others are still 0, and are
// written before they are read), backward over all.
// The unknown solved just before, if a neighbour, sits next to the row's own
// place between its lower and upper slots: its term comes last, so that what
// one row waits for from the one before is a product and a difference.
void HoleMultigrid::Sweep(Level& level, bool forward)
{
    const std::size_t unknowns = level.Unknowns(), width = level.width, lower = level.lower;
    float* x = level.x.data();
    for (std::size_t n = 0; n < unknowns; ++n) {
        const std::size_t i = forward ? n : unknowns - 1 - n;
        const float* c = level.coefficient.data() + i * width;
        const std::uint32_t* at = level.neighbour.data() + i * width;
        float sum = level.b[i];
        if (forward && lower > 0)
            sum = sum - Terms(c, at, x, 0, lower - 1) - c[lower - 1] * x[at[lower - 1]];
        else if (!forward && width > lower)
            sum = sum - (Terms(c, at, x, 0, lower) + Terms(c, at, x, lower + 1, width)) - c[lower] * x[at[lower]];
        // A row whose centre is not above 0 is left as it is: 0 going forward.
        if (level.inverse[i] != 0.0)
            x[i] = sum * level.inverse[i];
        else if (forward)
            x[i] = 0.0;
    }
}

// The finest level skips the sweep before the correction: its residual is then
// the right-hand side itself. The cycles are weaker (a tenth more on the rendered
// scenes) and each costs a quarter less, the finest level's sweeps being half its
// work. On the levels above, the sweep forward from 0 leaves each row that it
// solves a residual of its upper neighbours' terms alone.
void HoleMultigrid::Cycle(std::size_t at)
{
    Level& level = levels_[at];
    const std::size_t unknowns = level.Unknowns(), width = level.width;
    if (at + 1 == count_) {
        SolveCoarsest();
        return;
    }
    Level& coarse = levels_[at + 1];
    std::fill(coarse.b.begin(), coarse.b.end(), 0.0);
    if (at == 0) {
        std::fill(level.x.begin(), level.x.end(), 0.0);
        for (std::size_t i = 0; i < unknowns; ++i)
            if (level.coarse[i] != None)
                coarse.b[level.coarse[i]] += level.b[i];
    } else {
        Sweep(level, true);
        for (std::size_t i = 0; i < unknowns; ++i) {
            if (level.coarse[i] == None)
                continue;
            const float* c = level.coefficient.data() + i * width;
            const std::uint32_t* next = level.neighbour.data() + i * width;
            const float* x = level.x.data();
            float sum = -Terms(c, next, x, level.lower, width);
            if (level.inverse[i] == 0.0)
                sum += level.b[i] - Terms(c, next, x, 0, level.lower);
            coarse.b[level.coarse[i]] += sum;
        }
    }
    Cycle(at + 1);
    for (std::size_t i = 0; i < unknowns; ++i)
        if (level.coarse[i] != None)
            level.x[i] += OverCorrection * coarse.x[level.coarse[i]];
    Sweep(level, false);
}

// The cycle runs in floats on the right-hand side scaled to its largest
// magnitude, 1: the solver's vectors may grow far past a float's range where
// the system is ill-conditioned, and the cycle is linear.
void HoleMultigrid::Apply(std::span<const double> in, std::span<double> out)
{
    Level& fine = levels_.front();
    const std::size_t unknowns = fine.Unknowns();
    double largest = 0.0;
    for (std::size_t i = 0; i < unknowns; ++i)
        largest = std::max(largest, std::abs(in[i]));
    const double scale = largest > 0.0 && std::isfinite(largest) ? largest : 1.0;
    const double inverse = 1.0 / scale;
    for (std::size_t i = 0; i < unknowns; ++i)
        fine.b[i] = static_cast<float>(in[i] * inverse);
    Cycle(0);
    for (std::size_t i = 0; i < unknowns; ++i)
        out[i] = fine.x[i] * scale;
}

void HoleMultigrid::FactorCoarsest()
{
    const Level& level = levels_[count_ - 1];
    const std::size_t n = level.Unknowns();
    lu_.assign(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        lu_[i * n + i] = level.centre[i];
        for (std::size_t s = 0; s < level.width; ++s)
            if (const std::uint32_t j = level.neighbour[i * level.width + s]; j < n)
                lu_[i * n + j] += level.coefficient[i * level.width + s];
    }
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
    std::size_t bytes = lu_.capacity() * sizeof(double) + rowSum_.capacity() * sizeof(double) +
                        (order_.capacity() + block_.capacity() + rowOrder_.capacity()) * sizeof(std::size_t);
    for (const std::vector<std::uint32_t>* v :
         {&parent_, &number_, &first_, &start_, &member_, &where_, &rowStart_, &rowNeighbour_})
        bytes += v->capacity() * sizeof(std::uint32_t);
    for (const Level& level : levels_)
        bytes += level.cell.capacity() * sizeof(std::size_t) +
                 (level.coarse.capacity() + level.neighbour.capacity()) * sizeof(std::uint32_t) +
                 (level.coefficient.capacity() + level.centre.capacity() + level.inverse.capacity() +
                  level.x.capacity() + level.b.capacity()) *
                     sizeof(float);
    return bytes;
}

}  // namespace darkfill

#include "analysis/GuidedFill.h"

#include "analysis/FillRules.h"
#include "analysis/NumberForest.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace darkfill {

namespace {

// No weight falls below e^-9 (about 1/8100) before the scaling: holes that the
// guide marks off from the rest stay tied to it, enough for the solver to reach
// them, where a weight of 1e-30 would leave their values to the last bits.
constexpr double MostExponent = 9.0;

// The neighbours in the order of the plane.
constexpr int Offsets[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {0, 1}, {1, -1}, {1, 0}, {1, 1}};

constexpr int MostSteps = 1000;

// Gauss-Seidel sweeps of the system over the first guess, forward and backward
// in turn: they take most of what the guess leaves between neighbours, so that
// the solver starts nearer its goal (guided_bench's eight frames: 165 steps
// against 182, 0.92 to 0.95 of the time; 2 sweeps gave 169 steps and 0.94, 8
// gave 161 and 0.97).
constexpr int StartSweeps = 4;

// The spread's floor and its share of the window's variance. A window whose
// share is below the floor is flat, and its hole weighs its nearest source at
// NearestWeight beside its neighbours' 1.
constexpr double LeastSpread = 2e-6;
constexpr double SpreadPerVariance = 0.6;
constexpr double NearestWeight = 0.1;

// A cell of the guide as it holds it: its grey, or its red, green and blue.
struct GuideCell {
    double channel[3];
};

template <GuideFormat Format>
GuideCell CellOf(const GuideView& guide, int y, int x)
{
    const auto* cell = static_cast<const unsigned char*>(guide.data) + y * guide.rowStep + x * guide.columnStep;
    if constexpr (Format == GuideFormat::Rgb8)
        return {{static_cast<double>(cell[0]), static_cast<double>(cell[1]), static_cast<double>(cell[2])}};
    if constexpr (Format == GuideFormat::Grey16) {
        std::uint16_t value;
        std::memcpy(&value, cell, sizeof value);
        return {{static_cast<double>(value)}};
    }
    return {{static_cast<double>(cell[0])}};
}

// The square of two cells' difference, scaled to be from 0 to 1, for colour the
// mean over the channels: the sum of squares of whole numbers, times one factor.
// With each channel divided to 0 to 1 first, the guided fill of the quality
// benchmark's colour frames took 1.06 times as long as with luma, so 1.00
// (guided_bench, A B B A twice).
template <GuideFormat Format>
struct Distances {
    static constexpr int channels = Format == GuideFormat::Rgb8 ? 3 : 1;
    static constexpr double scale =
        1.0 / (channels * (Format == GuideFormat::Grey16 ? 65535.0 * 65535.0 : 255.0 * 255.0));

    static double Between(const GuideCell& a, const GuideCell& b)
    {
        double sum = 0.0;
        for (int c = 0; c < channels; ++c)
            sum += (a.channel[c] - b.channel[c]) * (a.channel[c] - b.channel[c]);
        return sum * scale;
    }
};

double Dot(const std::vector<double>& a, const std::vector<double>& b, std::size_t first, std::size_t end)
{
    double sum = 0.0;
    for (std::size_t i = first; i < end; ++i)
        sum += a[i] * b[i];
    return sum;
}

// The value that a solution takes in the raster's type: the nearest integer, or
// the float, held between the smallest and the largest source.
template <class Value>
Value ValueOf(double solution, double lowest, double highest)
{
    const double held = std::clamp(solution, lowest, highest);
    // Every source is at least 1, so that the nearest integer, half away from 0,
    // is held + 0.5 cut toward 0, without a call.
    if constexpr (std::is_floating_point_v<Value>)
        return static_cast<Value>(held);
    else
        return static_cast<Value>(static_cast<std::int64_t>(held + 0.5));
}

}  // namespace

template <class Value>
void GuidedFill::Fill(Plane<Value>& plane, const GuideView& guide, Plane<std::uint32_t>& numbers,
                      std::span<ValueSource> sources)
{
    const auto [lowest, highest] = NumberHoles(plane, numbers);
    if (cell_.empty() || !(lowest <= highest))
        return;
    neighbour_.assign(cell_.size() * 8, static_cast<std::uint32_t>(cell_.size()));
    weight_.assign(cell_.size() * 8, 0.0);
    known_.assign(cell_.size(), 0.0);
    flat_.assign(cell_.size(), false);
    if (guide.format == GuideFormat::Rgb8)
        Weigh<GuideFormat::Rgb8>(plane, guide, numbers);
    else if (guide.format == GuideFormat::Grey16)
        Weigh<GuideFormat::Grey16>(plane, guide, numbers);
    else
        Weigh<GuideFormat::Grey8>(plane, guide, numbers);
    LeaveUnreached();
    LeanFlatHoles(plane, numbers);
    TakeInfinities();
    Solve(plane.Columns());
    const int columns = plane.Columns();
    for (std::size_t h = 0; h < cell_.size(); ++h) {
        const bool infinite = !infinite_.empty() && infinite_[h];
        if (!reached_[h] || !(infinite || std::isfinite(x_[h])))
            continue;
        const std::size_t at = cell_[h];
        plane[static_cast<int>(at / columns)][static_cast<int>(at % columns)] =
            ValueOf<Value>(infinite ? highest : x_[h], lowest, highest);
        if (!sources.empty())
            sources[at] = ValueSource::FromGuide;
    }
}

// Each hole's number into numbers (NoHole for the other cells) and its cell into
// cell_: the holes tied together through the 8 around each, a part, numbered
// together in the order of the plane, the parts in the order of their first
// holes, where each starts in partStart_; returns the smallest and the largest
// source. The parts are found by union-find over the holes' ranks in the order
// of the plane, each joined with the holes before it among the 8 around it,
// the smaller rank the root; queue_ holds the forest until LeaveUnreached.
template <class Value>
std::pair<double, double> GuidedFill::NumberHoles(const Plane<Value>& plane, Plane<std::uint32_t>& numbers)
{
    cell_.clear();
    std::vector<std::uint32_t>& parent = queue_;
    parent.clear();
    double lowest = std::numeric_limits<double>::infinity(), highest = -lowest;
    const int rows = plane.Rows(), columns = plane.Columns();
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const Value value = plane[y][x];
            numbers[y][x] = NoHole;
            if (value > Value{}) {
                lowest = std::min(lowest, static_cast<double>(value));
                highest = std::max(highest, static_cast<double>(value));
            } else if (value == Value{}) {
                if (cell_.size() == NoHole)
                    throw std::length_error("darkfill: more holes than the guided fill can number");
                const auto h = static_cast<std::uint32_t>(cell_.size());
                numbers[y][x] = h;
                cell_.push_back(static_cast<std::size_t>(y) * static_cast<std::size_t>(columns) + x);
                parent.push_back(h);
                if (x > 0 && numbers[y][x - 1] != NoHole)
                    JoinTrees(parent, numbers[y][x - 1], h);
                if (y > 0)
                    for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, columns - 1); ++nx)
                        if (numbers[y - 1][nx] != NoHole)
                            JoinTrees(parent, numbers[y - 1][nx], h);
            }
        }
    // Each root's part in the order of the roots, every other hole's its parent's,
    // which comes before it: the forest becomes each hole's part, as it is read.
    const std::size_t holes = cell_.size();
    partStart_.assign(1, 0);
    for (std::size_t h = 0; h < holes; ++h) {
        if (parent[h] == h) {
            parent[h] = static_cast<std::uint32_t>(partStart_.size() - 1);
            partStart_.push_back(0);
        } else {
            parent[h] = parent[parent[h]];
        }
        ++partStart_[parent[h] + 1];
    }
    for (std::size_t part = 1; part < partStart_.size(); ++part)
        partStart_[part] += partStart_[part - 1];
    next_.assign(partStart_.begin(), partStart_.end() - 1);
    placed_.resize(holes);
    for (std::size_t h = 0; h < holes; ++h) {
        const std::uint32_t number = next_[parent[h]]++;
        numbers[0][cell_[h]] = number;  // the plane's rows lie one after another
        placed_[number] = cell_[h];
    }
    cell_.swap(placed_);
    return {lowest, highest};
}

// Each hole's row of the system: its neighbours' weights from the guide's 3 x 3
// window, those of holes kept, those of sources summed with their values. The
// guide's format is fixed for the whole pass, not asked for each cell: guided_bench
// took 0.95 and 0.96 of the time (two runs, each frame's fastest of six turns).
template <GuideFormat Format, class Value>
void GuidedFill::Weigh(const Plane<Value>& plane, const GuideView& guide, const Plane<std::uint32_t>& numbers)
{
    for (std::size_t h = 0; h < cell_.size(); ++h)
        WeighHole<Format>(plane, guide, numbers, h);
}

template <GuideFormat Format, class Value>
void GuidedFill::WeighHole(const Plane<Value>& plane, const GuideView& guide, const Plane<std::uint32_t>& numbers,
                           std::size_t h)
{
    using Distances = darkfill::Distances<Format>;
    constexpr int channels = Distances::channels;
    const int rows = plane.Rows(), columns = plane.Columns();
    const int y = static_cast<int>(cell_[h] / columns), x = static_cast<int>(cell_[h] % columns);
    GuideCell window[9] = {CellOf<Format>(guide, y, x)};
    double distance[8];
    int inWindow = 1, taking = 0, taken[8];
    double closest = std::numeric_limits<double>::infinity();
    for (int k = 0; k < 8; ++k) {
        const int ny = y + Offsets[k][0], nx = x + Offsets[k][1];
        if (ny < 0 || ny >= rows || nx < 0 || nx >= columns)
            continue;
        window[inWindow] = CellOf<Format>(guide, ny, nx);
        const double d = Distances::Between(window[inWindow++], window[0]);
        closest = std::min(closest, d);
        if (plane[ny][nx] >= Value{}) {
            distance[taking] = d;
            taken[taking++] = k;
        }
    }
    GuideCell mean = {};
    for (int c = 0; c < channels; ++c) {
        for (int i = 0; i < inWindow; ++i)
            mean.channel[c] += window[i].channel[c];
        mean.channel[c] /= inWindow;
    }
    double variance = 0.0;
    for (int i = 0; i < inWindow; ++i)
        variance += Distances::Between(window[i], mean);
    double spread = SpreadPerVariance * variance / inWindow;
    flat_[h] = spread < LeastSpread;
    if (inWindow > 1)
        spread = std::max(spread, -closest / std::log(0.01));
    spread = std::max(spread, LeastSpread);
    double kernel[8], total = 0.0;
    for (int i = 0; i < taking; ++i) {
        kernel[i] = std::exp(-std::min(distance[i] / spread, MostExponent));
        total += kernel[i];
    }
    for (int i = 0; i < taking; ++i) {
        const Value value = plane[y + Offsets[taken[i]][0]][x + Offsets[taken[i]][1]];
        const double w = kernel[i] / total;
        if (value > Value{}) {
            known_[h] += w * static_cast<double>(value);
        } else {
            neighbour_[h * 8 + taken[i]] = numbers[y + Offsets[taken[i]][0]][x + Offsets[taken[i]][1]];
            weight_[h * 8 + taken[i]] = w;
        }
    }
}

// Adds to queue, in the order they are found, the holes tied through their
// neighbours to those in it and not yet marked, and marks them.
void GuidedFill::Follow(std::vector<std::uint32_t>& queue, std::vector<bool>& marked) const
{
    const std::size_t holes = cell_.size();
    for (std::size_t at = 0; at < queue.size(); ++at)
        for (int k = 0; k < 8; ++k) {
            const std::uint32_t n = neighbour_[queue[at] * std::size_t{8} + k];
            if (n < holes && !marked[n]) {
                marked[n] = true;
                queue.push_back(n);
            }
        }
}

// Holes that no source reaches through neighbouring holes: their equations
// become x = 0, which the solver keeps, so that the system has one solution.
void GuidedFill::LeaveUnreached()
{
    const std::size_t holes = cell_.size();
    std::vector<std::uint32_t>& queue = queue_;
    queue.clear();
    std::vector<bool>& reached = reached_;
    reached.assign(holes, false);
    for (std::size_t h = 0; h < holes; ++h)
        if (known_[h] != 0.0) {
            reached[h] = true;
            queue.push_back(static_cast<std::uint32_t>(h));
        }
    Follow(queue, reached);
    for (std::size_t h = 0; h < holes; ++h)
        if (!reached[h])
            std::fill_n(neighbour_.begin() + static_cast<std::ptrdiff_t>(h * 8), 8, static_cast<std::uint32_t>(holes));
}

// The holes reached whose window is flat: each row of the system gains the
// nearest source's value p at NearestWeight beside the neighbours' 1, scaled
// back to sum to 1. The plane of numbers is spent once the weights are made: it
// is the nearest fill's scratch.
template <class Value>
void GuidedFill::LeanFlatHoles(const Plane<Value>& plane, Plane<std::uint32_t>& numbers)
{
    if (std::find(flat_.begin(), flat_.end(), true) == flat_.end())
        return;
    nearestArena_.Reserve(WorkingArena::BytesFor<Value>(plane.Cells()));
    Plane<Value> nearest(nearestArena_.Take<Value>(plane.Cells()).data(), plane.Rows(), plane.Columns());
    std::copy_n(plane[0], plane.Cells(), nearest[0]);
    FillNearest(nearest, numbers, {}, UnlimitedReach);
    const int columns = plane.Columns();
    constexpr double scale = 1.0 / (1.0 + NearestWeight);
    for (std::size_t h = 0; h < cell_.size(); ++h) {
        if (!flat_[h] || !reached_[h])
            continue;
        const Value p = nearest[static_cast<int>(cell_[h] / columns)][static_cast<int>(cell_[h] % columns)];
        for (int k = 0; k < 8; ++k)
            weight_[h * 8 + k] *= scale;
        known_[h] = (known_[h] + NearestWeight * static_cast<double>(p)) * scale;
    }
}

// Holes whose row of the system holds an infinite source's value, and the holes
// tied to them through their neighbours, all of whose weights are above 0: a
// mean with an infinity in it is infinite. Their rows become x = 0, which no
// other row reads, so that the rest is solved to its goal as usual.
void GuidedFill::TakeInfinities()
{
    infinite_.clear();
    if (std::all_of(known_.begin(), known_.end(), [](double known) { return std::isfinite(known); }))
        return;
    const std::size_t holes = cell_.size();
    infinite_.assign(holes, false);
    std::vector<std::uint32_t> found;
    for (std::size_t h = 0; h < holes; ++h)
        if (!std::isfinite(known_[h])) {
            infinite_[h] = true;
            found.push_back(static_cast<std::uint32_t>(h));
        }
    Follow(found, infinite_);
    for (const std::uint32_t h : found) {
        std::fill_n(neighbour_.begin() + static_cast<std::ptrdiff_t>(h * std::size_t{8}), 8,
                    static_cast<std::uint32_t>(holes));
        std::fill_n(weight_.begin() + static_cast<std::ptrdiff_t>(h * std::size_t{8}), 8, 0.0);
        known_[h] = 0.0;
    }
}

// The solver's first guess: each hole reached, in the order in which the
// search from the sources reached it, the weighted mean of its neighbours that
// are sources or holes guessed before it (every source is above 0, and so is
// every mean of them: a hole not yet guessed is one still at 0); then
// StartSweeps sweeps. The rows of the holes left out of the system hold no
// weight and no source, and keep them at 0.
void GuidedFill::Start()
{
    for (const std::uint32_t h : queue_) {
        double sum = known_[h], weight = 1.0;
        for (int k = 0; k < 8; ++k) {
            const double w = weight_[h * std::size_t{8} + k];
            const double guess = x_[neighbour_[h * std::size_t{8} + k]];
            weight -= w;
            if (guess > 0.0) {
                sum += w * guess;
                weight += w;
            }
        }
        x_[h] = weight > 0.0 ? sum / weight : 0.0;
    }
    const std::size_t holes = cell_.size();
    for (int sweep = 0; sweep < StartSweeps; ++sweep)
        for (std::size_t n = 0; n < holes; ++n) {
            const std::size_t h = sweep % 2 == 0 ? n : holes - 1 - n;
            double sum = known_[h];
            for (int k = 0; k < 8; ++k)
                sum += weight_[h * 8 + k] * x_[neighbour_[h * 8 + k]];
            x_[h] = sum;
        }
}

// out = (I - W) in over the holes first to end, W the weights between holes. A
// neighbour that is no hole reads the zero past the last hole with a weight of 0,
// so that the loops take no branch.
// Each hole's product is handed to each(h, product) as it is made, so that the
// solver's sums over it need no pass of their own.
template <class Each>
void GuidedFill::Multiply(const std::vector<double>& in, std::vector<double>& out, std::size_t first, std::size_t end,
                          Each each) const
{
    for (std::size_t h = first; h < end; ++h) {
        double sum = in[h];
        for (int k = 0; k < 8; ++k)
            sum -= weight_[h * 8 + k] * in[neighbour_[h * 8 + k]];
        out[h] = sum;
        each(h, sum);
    }
}

// Each part of the holes solved on its own, from the first guess: no part's
// row reads another's holes.
void GuidedFill::Solve(int columns)
{
    const std::size_t holes = cell_.size();
    // One more each: the zero that neighbours that are no holes read. Each is
    // written before it is read but for that zero and the solution, whose start
    // reads its zeros as holes not yet guessed.
    for (std::vector<double>* v : {&r_, &shadow_, &p_, &v_, &s_, &t_, &pz_, &sz_}) {
        v->resize(holes + 1);
        v->back() = 0.0;
    }
    x_.assign(holes + 1, 0.0);
    Start();
    for (std::size_t part = 0; part + 1 < partStart_.size(); ++part)
        SolvePart(columns, partStart_[part], partStart_[part + 1]);
}

// BiCGSTAB over the holes first to end, preconditioned on the right by a
// multigrid cycle. The residual that its steps carry drifts from the true one
// where the system is ill-conditioned (holes tied to their sources by weights
// near e^-9): where it says the goal is met, the true residual is taken, and the
// steps start again from it until that one meets the goal too.
void GuidedFill::SolvePart(int columns, std::size_t first, std::size_t end)
{
    // The goal is set by the right-hand side's norm, summed in the pass that
    // takes the start's residual. A part left out of the system, whose rows hold
    // no weight and no source, meets it there.
    double bb = 0.0;
    Multiply(x_, t_, first, end, [&](std::size_t i, double product) {
        r_[i] = known_[i] - product;
        bb += known_[i] * known_[i];
    });
    const double goal = 1e-8 * std::sqrt(bb);
    // The sums of r.r and shadow.r, kept up to date as r changes.
    double rr = Dot(r_, r_, first, end), rs = 0.0;
    if (std::sqrt(rr) <= goal)
        return;
    const std::size_t size = end - first;
    multigrid_.Build(columns, std::span(cell_).subspan(first, size),
                     std::span(neighbour_).subspan(first * 8, size * 8), std::span(weight_).subspan(first * 8, size * 8),
                     static_cast<std::uint32_t>(first));
    const auto part = [&](std::vector<double>& v) { return std::span(v).subspan(first, size); };
    double rho = 0.0, alpha = 0.0, omega = 0.0;
    for (int step = 0; step < MostSteps; ++step) {
        if (std::sqrt(rr) <= goal) {
            Multiply(x_, t_, first, end, [&](std::size_t i, double product) { r_[i] = known_[i] - product; });
            rr = Dot(r_, r_, first, end);
            rs = Dot(shadow_, r_, first, end);
            if (std::sqrt(rr) <= goal)
                return;
            rho = 0.0;
        }
        const double rhoNext = rs;
        if (rho == 0.0 || rhoNext == 0.0 || omega == 0.0) {
            // A start, or a breakdown: again from where the solution stands.
            std::copy(r_.begin() + static_cast<std::ptrdiff_t>(first), r_.begin() + static_cast<std::ptrdiff_t>(end),
                      shadow_.begin() + static_cast<std::ptrdiff_t>(first));
            rs = rr;
            std::fill(p_.begin() + static_cast<std::ptrdiff_t>(first), p_.begin() + static_cast<std::ptrdiff_t>(end), 0.0);
            std::fill(v_.begin() + static_cast<std::ptrdiff_t>(first), v_.begin() + static_cast<std::ptrdiff_t>(end), 0.0);
            rho = alpha = omega = 1.0;
            continue;
        }
        const double beta = (rhoNext / rho) * (alpha / omega);
        rho = rhoNext;
        for (std::size_t i = first; i < end; ++i)
            p_[i] = r_[i] + beta * (p_[i] - omega * v_[i]);
        multigrid_.Apply(part(p_), part(pz_));
        double sv = 0.0;
        Multiply(pz_, v_, first, end, [&](std::size_t i, double product) { sv += shadow_[i] * product; });
        alpha = rho / sv;
        if (!std::isfinite(alpha)) {
            rho = 0.0;
            continue;
        }
        for (std::size_t i = first; i < end; ++i)
            s_[i] = r_[i] - alpha * v_[i];
        multigrid_.Apply(part(s_), part(sz_));
        double tt = 0.0, ts = 0.0;
        Multiply(sz_, t_, first, end, [&](std::size_t i, double product) {
            tt += product * product;
            ts += product * s_[i];
        });
        omega = tt > 0.0 ? ts / tt : 0.0;
        if (!std::isfinite(omega))
            omega = 0.0;
        rr = rs = 0.0;
        for (std::size_t i = first; i < end; ++i) {
            x_[i] += alpha * pz_[i] + omega * sz_[i];
            r_[i] = s_[i] - omega * t_[i];
            rr += r_[i] * r_[i];
            rs += shadow_[i] * r_[i];
        }
    }
}

std::size_t GuidedFill::Bytes() const
{
    std::size_t bytes = (cell_.capacity() + placed_.capacity()) * sizeof(std::size_t) +
                        neighbour_.capacity() * sizeof(std::uint32_t) +
                        weight_.capacity() * sizeof(double) + known_.capacity() * sizeof(double);
    for (const std::vector<double>* v : {&x_, &r_, &shadow_, &p_, &v_, &s_, &t_, &pz_, &sz_})
        bytes += v->capacity() * sizeof(double);
    bytes += multigrid_.Bytes() + nearestArena_.Bytes();
    return bytes + (reached_.capacity() + flat_.capacity() + infinite_.capacity()) / 8 +
           (queue_.capacity() + partStart_.capacity() + next_.capacity()) * sizeof(std::uint32_t);
}

#define DARKFILL_GUIDED_FILL(Value)                                                                             \
    template void GuidedFill::Fill(Plane<Value>&, const GuideView&, Plane<std::uint32_t>&, std::span<ValueSource>);
DARKFILL_GUIDED_FILL(std::uint8_t)
DARKFILL_GUIDED_FILL(std::uint16_t)
DARKFILL_GUIDED_FILL(std::int32_t)
DARKFILL_GUIDED_FILL(float)
#undef DARKFILL_GUIDED_FILL

}  // namespace darkfill

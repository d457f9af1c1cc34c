#pragma once

namespace darkfill {

// Running minima and maxima across the eight lanes of a vector register, as the
// gap fill carries the nearest source along a row: three shifted comparisons,
// then the value carried in from the lanes before. Lanes are changed in place,
// passed by reference, so that no vector crosses a call by value. The value
// carried on to the next eight lanes is returned, taken from the last lane before
// the carry came in: a scan along a row then waits on one scalar comparison per
// eight lanes, not on a round trip through the vector register.

enum class Keep { Smallest, Largest };

namespace lanescans {

template <Keep keep, class Lanes>
inline void KeepBetter(Lanes& lanes, const Lanes& other)
{
    lanes = (keep == Keep::Smallest ? other < lanes : other > lanes) ? other : lanes;
}

template <Keep keep, class Cell>
inline Cell Better(Cell a, Cell b)
{
    return (keep == Keep::Smallest ? b < a : b > a) ? b : a;
}

}  // namespace lanescans

// Lane k takes the best of lanes 0 to k and of carried, which stands for the lanes
// before lane 0; none holds a value that never wins.
template <Keep keep, class Lanes, class Cell>
inline Cell RunUpTheLanes(Lanes& lanes, const Lanes& none, Cell carried)
{
    using lanescans::KeepBetter;
    KeepBetter<keep>(lanes, __builtin_shufflevector(none, lanes, 0, 8, 9, 10, 11, 12, 13, 14));
    KeepBetter<keep>(lanes, __builtin_shufflevector(none, lanes, 0, 1, 8, 9, 10, 11, 12, 13));
    KeepBetter<keep>(lanes, __builtin_shufflevector(none, lanes, 0, 1, 2, 3, 8, 9, 10, 11));
    const Cell last = lanes[7];
    KeepBetter<keep>(lanes, Lanes{} + carried);
    return lanescans::Better<keep>(last, carried);
}

// Lane k takes the best of lanes k to 7 and of carried, which stands for the lanes
// after lane 7.
template <Keep keep, class Lanes, class Cell>
inline Cell RunDownTheLanes(Lanes& lanes, const Lanes& none, Cell carried)
{
    using lanescans::KeepBetter;
    KeepBetter<keep>(lanes, __builtin_shufflevector(lanes, none, 1, 2, 3, 4, 5, 6, 7, 8));
    KeepBetter<keep>(lanes, __builtin_shufflevector(lanes, none, 2, 3, 4, 5, 6, 7, 8, 9));
    KeepBetter<keep>(lanes, __builtin_shufflevector(lanes, none, 4, 5, 6, 7, 8, 9, 10, 11));
    const Cell first = lanes[0];
    KeepBetter<keep>(lanes, Lanes{} + carried);
    return lanescans::Better<keep>(first, carried);
}

}  // namespace darkfill

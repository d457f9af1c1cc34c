#pragma once

#include <cstdint>
#include <vector>

namespace darkfill {

// Union-find over numbers 0, 1, 2, ...: parent[a] is a's parent, a root its own.
// Each tree's root is its smallest member, so that the order of the joins does
// not change which number stands for a tree. Time: nearly constant a call (path
// halving). Memory: the caller's parent array, 4 bytes a number.

inline std::uint32_t RootOf(std::vector<std::uint32_t>& parent, std::uint32_t a)
{
    while (parent[a] != a)
        a = parent[a] = parent[parent[a]];
    return a;
}

inline void JoinTrees(std::vector<std::uint32_t>& parent, std::uint32_t a, std::uint32_t b)
{
    a = RootOf(parent, a);
    b = RootOf(parent, b);
    if (a < b)
        parent[b] = a;
    else
        parent[a] = b;
}

}  // namespace darkfill

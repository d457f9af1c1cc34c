#include "analysis/WorkingMemory.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

using namespace darkfill;

// Arrays taken one after another lie apart, aligned, inside the reserve, and one
// beyond it is refused rather than written past the block's end.
TEST(WorkingArena, TakesArraysApartWithinTheReserve)
{
    const struct {
        const char* name;
        std::size_t floats;
        std::size_t bytes;
        std::size_t runs;
    } table[] = {
        {"one of each", 1, 1, 1},
        {"odd sizes", 13, 7, 5},
        {"a plane's worth", 3 * 640 * 480, 640 * 480, 640 * 240},
    };
    for (const auto& row : table) {
        WorkingArena arena;
        arena.Reserve(WorkingArena::BytesFor<float>(row.floats) + WorkingArena::BytesFor<std::uint8_t>(row.bytes) +
                      WorkingArena::BytesFor<std::uint64_t>(row.runs));
        const auto floats = arena.Take<float>(row.floats);
        const auto bytes = arena.Take<std::uint8_t>(row.bytes);
        const auto runs = arena.Take<std::uint64_t>(row.runs);
        const auto at = [](const auto& span) { return reinterpret_cast<std::uintptr_t>(span.data()); };
        EXPECT_LE(at(floats) + row.floats * sizeof(float), at(bytes)) << row.name;
        EXPECT_LE(at(bytes) + row.bytes, at(runs)) << row.name;
        EXPECT_EQ(at(runs) % alignof(std::uint64_t), 0u) << row.name;
        EXPECT_LE(at(runs) + row.runs * sizeof(std::uint64_t), at(floats) + arena.Bytes()) << row.name;
        EXPECT_THROW(arena.Take<std::uint64_t>(arena.Bytes() / sizeof(std::uint64_t)), std::length_error) << row.name;
    }
}

// A smaller reserve keeps the block and gives its arrays back from the start; a
// larger one grows it.
TEST(WorkingArena, ReserveKeepsTheBlockUntilItMustGrow)
{
    WorkingArena arena;
    arena.Reserve(1000);
    const std::size_t held = arena.Bytes();
    const float* first = arena.Take<float>(100).data();
    arena.Reserve(500);
    EXPECT_EQ(arena.Bytes(), held);
    EXPECT_EQ(arena.Take<float>(100).data(), first);
    arena.Reserve(held + 1);
    EXPECT_GT(arena.Bytes(), held);
    arena.Release();
    EXPECT_EQ(arena.Bytes(), 0u);
}

// A stage given an arena works in it, and leaves its own alone; one given none
// works in its own, reserved for what it asks.
TEST(WorkingArena, GivenOrOwn)
{
    WorkingArena given, own;
    given.Reserve(64);
    const std::size_t held = given.Bytes();
    EXPECT_EQ(&WorkingArena::GivenOr(&given, own, held + 1), &given);
    EXPECT_EQ(given.Bytes(), held);
    EXPECT_EQ(own.Bytes(), 0u);
    EXPECT_EQ(&WorkingArena::GivenOr(nullptr, own, held + 1), &own);
    EXPECT_GT(own.Bytes(), held);
}

// A block of a quarter of a huge page or more starts on a huge page, so that the
// system can back it with whole ones; a smaller one as the heap aligns.
TEST(WorkingArena, LargeBlocksStartOnAHugePage)
{
    const struct {
        const char* name;
        std::size_t bytes;
        std::uintptr_t alignment;
    } table[] = {
        {"small", 1000, alignof(std::max_align_t)},
        {"a quarter of a huge page", std::size_t{512} << 10, std::uintptr_t{2} << 20},
        {"several huge pages", std::size_t{5} << 20, std::uintptr_t{2} << 20},
    };
    for (const auto& row : table) {
        WorkingArena arena;
        arena.Reserve(row.bytes);
        ASSERT_GE(arena.Bytes(), row.bytes) << row.name;
        const auto at = reinterpret_cast<std::uintptr_t>(arena.Take<std::uint8_t>(arena.Bytes()).data());
#if defined(__linux__)
        EXPECT_EQ(at % row.alignment, 0u) << row.name;
#else
        EXPECT_EQ(at % alignof(std::max_align_t), 0u) << row.name;
#endif
    }
}

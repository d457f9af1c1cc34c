#include "analysis/CellBlocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace darkfill;

// The bit-mask helpers that the stages find runs, labels and nearest sources with,
// each against a cell-by-cell reading of the same cells. Rows are chosen around
// the 4-, 16- and 64-cell steps the helpers take.

namespace {

using Runs = std::vector<std::pair<int, int>>;

// A row of cells from a pattern: '0' a zero cell, '.' a grey one.
std::vector<float> Row(const std::string& pattern)
{
    std::vector<float> cells;
    for (const char c : pattern)
        cells.push_back(c == '0' ? 0.0f : 7.0f);
    return cells;
}

Runs ZeroRunsCellByCell(const std::vector<float>& cells, int from, int to)
{
    Runs runs;
    for (int x = from; x <= to; ++x)
        if (cells[x] == 0.0f && (x == from || cells[x - 1] != 0.0f))
            runs.push_back({x, x});
        else if (cells[x] == 0.0f)
            runs.back().second = x;
    return runs;
}

std::string Repeat(const std::string& piece, int times)
{
    std::string s;
    for (int i = 0; i < times; ++i)
        s += piece;
    return s;
}

struct RunRow {
    const char* name;
    std::string pattern;
    int from;
    int to;  // -1: the last cell
};

TEST(CellBlocks, ForEachZeroRunFindsEveryRunOfZeros)
{
    const RunRow rows[] = {
        {"OneZero", "0", 0, -1},
        {"OneGrey", ".", 0, -1},
        {"AllZeroAcrossTwoChunks", std::string(130, '0'), 0, -1},
        {"NoZeroAcrossTwoChunks", std::string(130, '.'), 0, -1},
        {"RunEndsOnChunkEdge", std::string(60, '.') + "0000" + std::string(10, '.'), 0, -1},
        {"RunStartsOnChunkEdge", std::string(64, '.') + "000" + std::string(10, '.'), 0, -1},
        {"RunCrossesChunkEdge", std::string(62, '.') + "00000" + ".", 0, -1},
        {"RunSpansWholeChunk", "." + std::string(150, '0') + ".", 0, -1},
        {"RunEndsOnLastCell", std::string(70, '.') + "00", 0, -1},
        {"Alternating", Repeat("0.", 70), 0, -1},
        {"AlternatingOffset", Repeat(".0", 70), 0, -1},
        {"PairsAcrossEdges", Repeat("00..", 40), 0, -1},
        {"SubRangeCutsRuns", std::string(20, '0') + std::string(90, '.') + std::string(20, '0'), 5, 119},
        {"SubRangeOfOneCell", "..0..", 2, 2},
        {"AllZeroOneWholeChunk", std::string(64, '0'), 0, -1},
        {"ZeroJustAfterWholeChunk", std::string(64, '.') + "0", 0, -1},
        {"SubRangeFromInsideARunAcrossEdges", std::string(140, '0'), 3, 131},
    };
    for (const RunRow& row : rows) {
        const std::vector<float> cells = Row(row.pattern);
        const int to = row.to < 0 ? static_cast<int>(cells.size()) - 1 : row.to;
        Runs found;
        ForEachZeroRun(cells.data(), row.from, to, [&](int first, int last) { found.push_back({first, last}); });
        EXPECT_EQ(found, ZeroRunsCellByCell(cells, row.from, to)) << row.name;
    }
}

// Each cell's bit by the multiplication that gathers eight of them, for every
// count of cells and in each value type.
template <class Value>
void ExpectZeroBitsCellByCell(const std::vector<Value>& values, const char* type)
{
    for (int count = 1; count <= 64; ++count) {
        std::vector<Value> cells(count);
        std::uint64_t zero = 0;
        for (int k = 0; k < count; ++k) {
            cells[k] = values[(k * 5 + count) % values.size()];
            zero |= static_cast<std::uint64_t>(cells[k] == Value{}) << k;
        }
        EXPECT_EQ(ZeroBits(cells.data(), count), zero) << type << ", " << count << " cells";
    }
}

TEST(CellBlocks, BitsTellZerosCellByCell)
{
    ExpectZeroBitsCellByCell<float>({0.0f, -0.0f, 0.5f, 1.0f, 2.0f, -3.0f, 1e9f}, "float");
    ExpectZeroBitsCellByCell<std::uint8_t>({0, 1, 255, 0, 128}, "uint8");
    ExpectZeroBitsCellByCell<std::uint16_t>({0, 256, 65535, 1, 0, 0}, "uint16");
    ExpectZeroBitsCellByCell<std::int32_t>({0, -1, 1 << 30, -2147483647 - 1, 7}, "int32");
}

// A row's zero bits word by word, for rows of one word or several, whole or with a
// last word cut short at each cell.
TEST(CellBlocks, ZeroWordsOfARow)
{
    const float values[] = {0.0f, -0.0f, 0.5f, 1.0f, 0.0f, -3.0f, 1e9f, 0.0f};
    for (int count = 1; count <= 200; ++count) {
        std::vector<float> cells(count);
        std::vector<std::uint64_t> expected((count + 63) / 64, 0);
        for (int k = 0; k < count; ++k) {
            cells[k] = values[(k * 7 + count) % std::size(values)];
            expected[k / 64] |= static_cast<std::uint64_t>(cells[k] == 0.0f) << (k % 64);
        }
        std::vector<std::uint64_t> words(expected.size(), 0x5555);
        ZeroWordsOfRow(cells.data(), count, words.data());
        EXPECT_EQ(words, expected) << count << " cells";
    }
}

}  // namespace

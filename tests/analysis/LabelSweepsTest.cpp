#include "analysis/LabelSweeps.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace darkfill;

// The lowering of a row without dark cells side by side, in both its forms, against
// the block minimum of each cell taken one by one. Rows are chosen around the
// eight-cell vectors and their ends: first and last at and beside multiples of
// eight, and rows too short for a whole vector.

namespace {

using sweeps::NotDark;

struct Rows {
    std::vector<float> above, row, below;
};

// Random labels, and NotDark for about a third of the cells; in the row, dark
// cells only one in rowDarkOneIn, no two side by side, and the cell in the last
// column is not dark.
Rows RandomRows(int columns, int rowDarkOneIn, std::mt19937& random)
{
    std::uniform_int_distribution<int> label(1, 1000);
    const auto cell = [&] { return random() % 3 == 0 ? NotDark : static_cast<float>(label(random)); };
    const auto rowCell = [&] { return random() % rowDarkOneIn == 0 ? static_cast<float>(label(random)) : NotDark; };
    Rows rows{std::vector<float>(columns), std::vector<float>(columns, NotDark), std::vector<float>(columns)};
    for (int x = 0; x < columns; ++x) {
        rows.above[x] = cell();
        rows.below[x] = cell();
        if (x < columns - 1 && (x < 2 || rows.row[x - 1] == NotDark))
            rows.row[x] = rowCell();
    }
    return rows;
}

// Each dark cell from first to last takes the smallest dark label of its 3 x 3
// block, all read before any is written.
std::vector<float> Expected(const Rows& rows, int first, int last)
{
    std::vector<float> lowered = rows.row;
    for (int x = first; x <= last; ++x) {
        if (rows.row[x] == NotDark)
            continue;
        for (int dx = -1; dx <= 1; ++dx)
            for (const std::vector<float>* r : {&rows.above, &rows.row, &rows.below})
                lowered[x] = std::min(lowered[x], (*r)[x + dx]);
    }
    return lowered;
}

struct Case {
    const char* name;
    int columns;
    int first;
    int last;
};

TEST(LabelSweeps, RowLoweredToBlockMinimaInEitherForm)
{
    const Case table[] = {
        {"one cell", 3, 1, 1},
        {"shorter than a vector", 9, 1, 7},
        {"one vector and a cell", 11, 1, 9},
        {"whole row, vectors and a tail", 64, 1, 62},
        {"whole row, first past a vector", 64, 9, 62},
        {"first at a vector", 64, 8, 62},
        {"first just before a vector", 64, 7, 62},
        {"ends where the whole vectors end", 64, 1, 40},
        {"ends a cell before the row's last whole vector", 64, 20, 47},
        {"ends two vectors before the row's end", 64, 17, 48},
        {"one cell deep in the row", 64, 30, 30},
        {"last cell of the row alone", 64, 62, 62},
        {"chunks of vectors", 200, 3, 197},
        {"window row", 512, 1, 510},
    };
    const sweeps::RowLowering forProcessor = sweeps::RowLoweringForThisProcessor();
    std::mt19937 random(11);
    for (const Case& c : table) {
        for (int seed = 0; seed < 200; ++seed) {
            // Rows with few dark cells have few changes, which the range must still hold.
            const Rows rows = RandomRows(c.columns, seed % 2 == 0 ? 1 : 40, random);
            const std::vector<float> expected = Expected(rows, c.first, c.last);
            for (const sweeps::RowLowering lower : {&sweeps::LowerRowToBlockMinima, forProcessor}) {
                std::vector<float> row = rows.row;
                const sweeps::Range changed =
                    lower(row.data(), rows.above.data(), rows.below.data(), c.first, c.last, c.columns);
                ASSERT_EQ(row, expected) << c.name << ", seed " << seed;
                for (int x = 0; x < c.columns; ++x)
                    ASSERT_TRUE(row[x] == rows.row[x] || (changed.first <= x && x <= changed.last))
                        << c.name << ", seed " << seed << ": change in column " << x << " outside the range";
            }
        }
    }
}

}  // namespace

// The grid control with the data editor's largest contents: filling every
// cell's text as the pages do (text and format through the item record,
// "%lf" numbers, "Zeile %d" / "Spalte %d" headers), sizing everything to
// the contents, painting one screen and one line scroll. Offscreen, with
// the application font.

#include "grid/grid_ctrl.h"
#include "res/text_styles.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace {

// 1000 distinct value texts as "%lf" writes them; formatting 25 million
// numbers is the page's cost, not the grid's, and is left out.
const std::vector<QString>& ValueTexts()
{
    static const std::vector<QString> texts = [] {
        std::mt19937_64 generator(42);
        std::uniform_real_distribution<double> value(-1000.0, 1000.0);
        std::vector<QString> made{QStringLiteral("0.000000"), QStringLiteral("12.500000")};
        while (made.size() < 1000)
            made.push_back(QString::asprintf("%lf", value(generator)));
        return made;
    }();
    return texts;
}

// Resident memory of the process in bytes.
long ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

// Fills a grid of rows x columns (one header row and column) as the data
// editor does and sizes it to the contents.
void FillAndFit(CGridCtrl& grid, int rows, int columns)
{
    const std::vector<QString>& values = ValueTexts();
    grid.SetNumRows(rows);
    grid.SetNumColumns(columns);
    grid.SetNumFixedRows(1);
    grid.SetNumFixedColumns(1);
    GridItem item;
    item.mask = kItemText | kItemFormat;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            item.row = row;
            item.column = column;
            item.format = row == 0 ? res::DT_WORDBREAK : res::DT_CENTER;
            if (row == 0)
                item.text = column == 0 ? QStringLiteral("Elemente") : QStringLiteral("Spalte %1").arg(column);
            else if (column == 0)
                item.text = QStringLiteral("Zeile %1").arg(row);
            else
                item.text = values[std::size_t(row * 7 + column) % values.size()];
            grid.WriteCell(item);
            if (row == 0 || column == 0)
                grid.SetCellState(row, column, kCellReadOnly);
        }
    grid.FitAll();
}

std::unique_ptr<CGridCtrl> NewGrid()
{
    auto grid = std::make_unique<CGridCtrl>();
    grid->SetGridFont(QApplication::font());
    return grid;
}

void BM_FillAndFit(benchmark::State& state)
{
    const int rows = int(state.range(0));
    const int columns = int(state.range(1));
    // The first run of a size shows the growth; later runs reuse the freed
    // memory. Google Benchmark calls this more than once per size.
    static std::map<long, long> growth;
    long& perCell = growth[long(rows) * columns];
    for (auto _ : state) {
        state.PauseTiming();
        const long before = ResidentBytes();
        state.ResumeTiming();
        auto grid = NewGrid();
        FillAndFit(*grid, rows, columns);
        state.PauseTiming();
        perCell = std::max(perCell, (ResidentBytes() - before) / (long(rows) * columns));
        grid.reset();
        state.ResumeTiming();
    }
    state.counters["resident B/cell"] = double(perCell);
}

// A filled, shown grid of the given window size.
struct ShownGrid {
    std::unique_ptr<CGridCtrl> grid = NewGrid();
    ShownGrid(int rows, int columns, QSize size)
    {
        FillAndFit(*grid, rows, columns);
        grid->resize(size);
        grid->show();
        QApplication::processEvents();
    }
};

void BM_PaintScreen(benchmark::State& state)
{
    ShownGrid shown(int(state.range(0)), int(state.range(1)), QSize(1280, 960));
    shown.grid->OnVScroll(CGridCtrl::SB_THUMBTRACK, shown.grid->ScrollMax(Qt::Vertical) / 2);
    for (auto _ : state)
        shown.grid->repaint();
}

// One row down: the drawn pixels move, the freed strip is painted.
void BM_LineScroll(benchmark::State& state)
{
    ShownGrid shown(int(state.range(0)), int(state.range(1)), QSize(1280, 960));
    for (auto _ : state) {
        if (shown.grid->ScrollPos(Qt::Vertical) >= shown.grid->ScrollMax(Qt::Vertical)) {
            state.PauseTiming();
            shown.grid->OnVScroll(CGridCtrl::SB_TOP);
            QApplication::processEvents();
            state.ResumeTiming();
        }
        shown.grid->OnVScroll(CGridCtrl::SB_LINEDOWN);
        QApplication::processEvents();
    }
}

} // namespace

BENCHMARK(BM_FillAndFit)->Args({5001, 101})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillAndFit)->Args({5001, 5001})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PaintScreen)->Args({5001, 101})->Args({5001, 5001})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LineScroll)->Args({5001, 101})->Args({5001, 5001})->Unit(benchmark::kMillisecond);

// The data editor with 5000 x 10 data, as the user works in it: a paste of
// 5000 x 10 values over the design page, the undo of that paste, and 1000
// rows inserted on both pages (into 4000 rows: the editor keeps at most
// 5000). Offscreen, with the application font; the editor runs under its
// modal seam, shown.

#include "editor/data_edit_dlg.h"
#include "editor/design_matrix_page.h"
#include "grid/grid_ctrl.h"
#include "platform/modal.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <benchmark/benchmark.h>

#include <functional>

namespace {

constexpr int kRows = 5000;
constexpr int kColumns = 10;

// Runs body inside a shown editor with rows x kColumns values.
void WithEditor(const std::function<void(CDataEditDlg&)>& body, int rows = kRows)
{
    CDataEditDlg::ForgetPlacement();
    CDataEditDlg editor;
    editor.ObservationCount = rows;
    editor.UnknownCount = kColumns;
    platform::ScopedHandler<int(QDialog&)> modal(platform::ModalSeam(), [&](QDialog& shown) {
        shown.show();
        QApplication::processEvents();
        body(editor);
        return int(QDialog::Rejected);
    });
    editor.DoModal();
}

QMimeData* PastedValues()
{
    QString text;
    for (int i = 0; i < kRows; ++i)
        for (int j = 0; j < kColumns; ++j)
            text += QString::number(i * 0.5 - j * 1.25, 'f', 6) + (j + 1 < kColumns ? "\t" : "\n");
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

void BM_Paste5000x10(benchmark::State& state)
{
    WithEditor([&](CDataEditDlg& editor) {
        CGridCtrl& grid = *editor.DesignPage()->Grid();
        const std::unique_ptr<QMimeData> data(PastedValues());
        for (auto _ : state) {
            grid.PasteText({1, 1}, data.get());
            state.PauseTiming();
            editor.Undo().Undo();
            state.ResumeTiming();
        }
    });
}

void BM_UndoPaste5000x10(benchmark::State& state)
{
    WithEditor([&](CDataEditDlg& editor) {
        CGridCtrl& grid = *editor.DesignPage()->Grid();
        const std::unique_ptr<QMimeData> data(PastedValues());
        for (auto _ : state) {
            state.PauseTiming();
            grid.PasteText({1, 1}, data.get());
            state.ResumeTiming();
            grid.ExecuteCommand(CGridCtrl::kCommandUndo);
        }
    });
}

void BM_Insert1000Rows(benchmark::State& state)
{
    WithEditor(
        [&](CDataEditDlg& editor) {
            for (auto _ : state) {
                if (!editor.InsertRows(2, 1000))
                    state.SkipWithError("not inserted");
                state.PauseTiming();
                editor.Undo().Undo();
                state.ResumeTiming();
            }
        },
        kRows - 1000);
}

} // namespace

// Medians of 7 single runs: each run changes what the next one starts from.
#define EDITOR_BENCHMARK(name) \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(7)->DisplayAggregatesOnly(true)
EDITOR_BENCHMARK(BM_Paste5000x10);
EDITOR_BENCHMARK(BM_UndoPaste5000x10);
EDITOR_BENCHMARK(BM_Insert1000Rows);

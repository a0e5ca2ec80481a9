// The list model with 10,000 rows on the offscreen platform: a new list arriving in the view,
// with the columns fitted as the card view mode does. Run: build/bench/lithora_gui_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <filesystem>

#include "main/entry_list_model.h"
#include "main/entry_list_view.h"
#include "session/session.h"
#include "source/packer.h"
#include "synth.h"

using namespace lithora;
using namespace lithora::gui;

namespace {

void BM_ListModelRefill(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const auto dir =
        std::filesystem::temp_directory_path() / ("lithora-gui-bench-" + std::to_string(count));
    (void)writePackedSet(packSourceSet(synthesize(count, 1), buildRecordKey()), dir);
    Session session;
    session.data.dir = dir;
    if (!startUp(session).ok()) std::abort();
    EntryListModel model(session.rows);
    EntryListView view;
    view.setModel(&model);
    view.resize(205, 500);
    view.show();
    QApplication::processEvents();
    for (auto _ : state) {
        model.rowsReplaced();
        view.setColumnWidth(ColFormula, view.fittedColumnWidth(ColFormula));
        view.setColumnWidth(ColGroup, view.fittedColumnWidth(ColGroup));
        view.selectRow(0);
        view.repaint();
    }
}

} // namespace

BENCHMARK(BM_ListModelRefill)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#include "EngineStartup.h"

#include <QDir>
#include <exception>

TEngineTempDir::TEngineTempDir()
    : dir_(QDir::tempPath() + QStringLiteral("/TremoraElectronic-XXXXXX")) {}

namespace {

// A start that fails leaves no views and no temporary folder behind.
bool Failed(TEngineState& state) {
  state.ResultView.reset();
  state.Marking.reset();
  state.IndexView.reset();
  state.TempDir.reset();
  return false;
}

}  // namespace

bool StartEngine(TEngineState& state, const QString& base_folder, const LodexExports& api) {
  try {
    state.TempDir = std::make_unique<TEngineTempDir>();
    if (!state.TempDir->IsValid()) return Failed(state);
    state.Engine = std::make_unique<TLodexKV>(api);
    state.Engine->ReportErrors = false;
    // A base that fails to open has no data fields; the result view below refuses
    // it, but checking here says why and keeps the session calls off a missing base.
    const int32_t base = state.Engine->OpenBase(base_folder, state.TempDir->Path(), 0);
    if (base < 0) return Failed(state);
    state.BaseNumber = base;
    state.Session = state.Engine->CreateSession(base);
    if (state.Session < 0) return Failed(state);

    state.ResultView = std::make_unique<TResultView>(*state.Engine, state.Session, base);
    state.ResultView->PageLength = 15;
    state.ResultView->Top = 0;
    state.ResultView->Table = 0;
    state.ResultView->Refresh();

    state.Marking = std::make_unique<TMarking>();
    state.Marking->Clear();

    state.IndexView = std::make_unique<TIndexView>(*state.Engine, state.Session, base);
    state.IndexView->ShowCounts = false;

    state.Quantities.Reset();
    return true;
  } catch (const std::exception&) {
    return Failed(state);
  }
}

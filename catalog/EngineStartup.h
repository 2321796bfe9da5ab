// The program's engine state, created once at start: the wrapper, the opened base
// and session, the result view of the grid, the marks, the index view of the
// suggestions and the quantity per hit, and the private folder of the engine's
// temporary files.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>

#include "IndexView.h"
#include "LodexKV.h"
#include "Marking.h"
#include "QuantityTable.h"
#include "ResultView.h"

// A folder of this running program's own under the user's temporary location. The
// engine writes its slot and list files there; the folder and everything in it are
// removed when the object goes (the program drops it when it quits), so read-only
// installs work and two running copies never share files.
class TEngineTempDir {
 public:
  TEngineTempDir();
  bool IsValid() const { return dir_.isValid(); }
  QString Path() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
};

struct TEngineState {
  std::unique_ptr<TEngineTempDir> TempDir;
  std::unique_ptr<TLodexKV> Engine;
  int32_t BaseNumber = 0;
  int32_t Session = -1;
  std::unique_ptr<TResultView> ResultView;
  std::unique_ptr<TMarking> Marking;
  std::unique_ptr<TIndexView> IndexView;
  TQuantityTable Quantities;

  bool IsStarted() const { return ResultView && Marking && IndexView; }
};

// Opens the base in base_folder with a fresh private temporary folder, creates the
// session, the result view (page of 15 lines over table 0), the marks and the index
// view (without counts), and resets the quantities. Engine errors stay silent.
// Answers false when the base cannot be opened or a step fails; the temporary folder
// is then removed again.
bool StartEngine(TEngineState& state, const QString& base_folder,
                 const LodexExports& api = LinkedLodexExports());

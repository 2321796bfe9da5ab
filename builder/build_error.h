// Why lodex-build stopped: its exit codes, and a failed step's message together with
// the exit code it ends the command with.
#pragma once

#include <string>

namespace lodex::build {

enum ExitCode : int {
  kExitOk = 0,
  kExitInput = 1,       // the schema or the product table is wrong or cannot be stored
  kExitUsage = 2,       // wrong command line
  kExitOutput = 3,      // the base cannot be written where asked
  kExitInterrupted = 130,
};

struct BuildError {
  ExitCode code = kExitOk;
  std::string message;
};

// Sets *error and answers false, for `return Fail(...)`.
inline bool Fail(BuildError* error, ExitCode code, std::string message) {
  error->code = code;
  error->message = std::move(message);
  return false;
}

}  // namespace lodex::build

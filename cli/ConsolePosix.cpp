#include "cli/Console.h"

#include <unistd.h>

namespace parlune::console {

// The terminal takes the bytes as they are.
OutputSetup::OutputSetup() = default;
OutputSetup::~OutputSetup() = default;

bool StderrIsConsole() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace parlune::console

#pragma once

#include <QString>

namespace parlune {

// The README that the log view shows at start: 33 lines, one paragraph a line, which the
// view wraps.
QString ReadmeText();

} // namespace parlune

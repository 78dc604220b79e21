#pragma once

#include <QIcon>

namespace parlune {

// The program's icon, drawn once as SVG and rendered at the sizes the desktop asks for. The
// main window and the About box show it.
QIcon ProgramIcon();

} // namespace parlune

#pragma once

namespace parlune::Kestmarlapi {

// The archive library signs an archive that carries a weak signature again whenever it writes
// it. It hands the big-number work to the system's cryptography library through that library's
// table of math functions, which it fills by copying a table of its own headers' size. The
// system's library is newer and its table three entries longer, so the copy leaves those
// entries empty, and signing calls through one of them. Completing the table once before the
// first write makes signing work. Safe to call any number of times. Where the library is built
// with the cryptography library it bundles (the Windows build), the table is whole already
// and this does nothing.
void CompleteSigningMath();

} // namespace parlune::Kestmarlapi

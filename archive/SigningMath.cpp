#include "archive/SigningMath.h"

// The header declares the big-number library's math table only when told that it backs it.
#define LTM_DESC
#include <tomcrypt.h>

namespace parlune::Kestmarlapi {

void CompleteSigningMath() {
    // Assigned whole: the library's own assignment may come before or after this one, and
    // only ever rewrites the leading entries with the same values.
    static const bool completed = [] {
        ltc_mp = ltm_desc;
        return true;
    }();
    (void)completed;
}

} // namespace parlune::Kestmarlapi

#include "archive/SigningMath.h"

#ifdef PARLUNE_SYSTEM_TOMCRYPT
// The header declares the big-number library's math table only when told that it backs it.
#define LTM_DESC
#include <tomcrypt.h>
#endif

namespace parlune::Kestmarlapi {

void CompleteSigningMath() {
#ifdef PARLUNE_SYSTEM_TOMCRYPT
    // Assigned whole: the library's own assignment may come before or after this one, and
    // only ever rewrites the leading entries with the same values.
    static const bool completed = [] {
        ltc_mp = ltm_desc;
        return true;
    }();
    (void)completed;
#endif
}

} // namespace parlune::Kestmarlapi

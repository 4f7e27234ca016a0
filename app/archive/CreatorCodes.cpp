#include "CreatorCodes.h"

namespace tessaly {

bool setCreatorAndTypeCodes(const QString&) {
    // No bundle signature: nothing to set.
    return false;
}

} // namespace tessaly

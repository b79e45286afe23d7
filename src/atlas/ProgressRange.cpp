#include "atlas/ProgressRange.h"

namespace volumira {

void ProgressRange::report(float fraction, void* self) {
    const auto* range = static_cast<const ProgressRange*>(self);
    if (range->callback) range->callback(range->offset + range->scale * fraction, range->userData);
}

} // namespace volumira

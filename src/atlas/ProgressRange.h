#pragma once

#include "io/Image3d.h"

namespace volumira {

// Maps the 0..1 progress of one phase of a longer operation onto its share of the caller's range:
// a phase reporting f reaches the caller as offset + scale * f.
struct ProgressRange {
    ProgressRange(ProgressCallback callback, void* userData, float scale)
        : callback(callback), userData(userData), scale(scale) {}

    // The callback to hand to a phase, with this object as its user pointer.
    static void report(float fraction, void* self);

    ProgressCallback callback;
    void* userData;
    float offset = 0.0f;
    float scale = 1.0f;
};

} // namespace volumira

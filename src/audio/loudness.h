#pragma once

// A peak above this is sound. Hushvane decides by it, and HushvaneSessions shows what Hushvane
// would decide, so both call IsLoudPeak.
constexpr double kLoudnessThreshold = 1e-6;

// The peak is widened to double before the comparison; NaN compares false, so it counts as
// silence.
inline bool IsLoudPeak(float peak) {
    return static_cast<double>(peak) > kLoudnessThreshold;
}

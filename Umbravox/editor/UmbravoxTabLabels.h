#pragma once

// The short labels the editor's octave and interval tabs carry, one per value in index order.
// umbravox-live's --set takes them too, so what a user reads on a tab is what they can type.

#include <vector>

namespace umbra {

inline const std::vector<const char*> kOctaveTabLabels = {"-2", "-1", "0", "+1", "+2"};
inline const std::vector<const char*> kIntervalTabLabels = {"Uni", "m2", "M2", "m3", "M3", "P4",
                                                            "Tri", "P5", "m6", "M6", "m7", "M7"};

} // namespace umbra

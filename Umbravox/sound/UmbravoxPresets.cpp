#include "Umbravox.h"

namespace umbra {

// The factory presets, in the order the host lists them. Values per parameter in index order:
// Input, Output, Haunt, Possess, Octave, Interval, Fine, Freeze, Smear, Whisper, Whisper Mode,
// Resonance, Mix. Enumerated values are indices; Fine is in cents, the rest in percent.
void Umbravox::RegisterFactoryPresets()
{
  //                              In   Out  Hnt  Pos  Oct Int Fine  Frz  Smr  Wsp Mode Res  Mix
  MakePreset("Init",             50., 50., 75., 50., 2,  0,  0.,  80., 64., 0.,  0, 50., 100.);
  MakePreset("Ghost Choir",      55., 52., 78., 91., 3,  0,  0.,  84., 60., 59., 0, 73., 78.);
  MakePreset("Banshee Scream",   55., 35., 94., 80., 4,  6,  0.,  76., 30., 59., 0, 15., 91.);
  MakePreset("Wailing Spirits",  55., 52., 94., 57., 2,  7,  0.,  68., 90., 59., 0, 73., 92.);
  MakePreset("Crypt Dweller",    56., 52., 69., 78., 0,  0,  0.,  86., 27., 65., 0, 28., 100.);
  MakePreset("Haunted Attic",    60., 55., 65., 70., 2,  5,  0.,  45., 50., 40., 1, 60., 85.);
  MakePreset("Spectral Drone",   50., 60., 90., 95., 1,  0,  0.,  95., 80., 20., 0, 40., 100.);
  MakePreset("Poltergeist",      70., 45., 45., 60., 3,  7,  25., 30., 70., 75., 1, 80., 70.);
  MakePreset("Ethereal Pad",     55., 58., 85., 80., 2,  0,  0.,  70., 40., 30., 0, 55., 90.);
  MakePreset("Demonic Whisper",  45., 50., 70., 85., 1,  6, -15., 55., 65., 80., 1, 90., 75.);
}

} // namespace umbra

#pragma once

namespace umbra {

// Fixed text field sizes, terminator included.
constexpr int kMaxParamNameLen = 32;
constexpr int kMaxParamLabelLen = 32;
constexpr int kMaxParamGroupLen = 32;
constexpr int kMaxParamDisplayLen = 32;
constexpr int kMaxPresetNameLen = 256;
constexpr int kMaxFxpProgramNameLen = 28;

constexpr int kNoTag = -1;
constexpr int kNoParameter = -1;

// Where a parameter change came from.
enum EParamSource { kReset = 0, kHost = 1, kUI = 3, kDelegate = 4 };

// Direction of a bus or channel.
enum ERoute { kRouteInput = 0, kRouteOutput = 1 };

// A bus whose channel count the host chooses.
constexpr int kWildcardChannels = -64;

// Host codes, as identified from the host's name.
enum EHost {
  kHostUninit = -1,
  kHostUnknown = 0,
  kHostReaper = 1,
  kHostProTools = 2,
  kHostCubase = 3,
  kHostNuendo = 4,
  kHostSonar = 5,
  kHostVegas = 6,
  kHostFL = 7,
  kHostSamplitude = 8,
  kHostAbletonLive = 9,
  kHostTracktion = 10,
  kHostNTracks = 11,
  kHostMelodyneStudio = 12,
  kHostVSTScanner = 13,
  kHostAULab = 14,
  kHostForte = 15,
  kHostChainer = 16,
  kHostAudition = 17,
  kHostOrion = 18,
  kHostBias = 19,
  kHostSAWStudio = 20,
  kHostLogic = 21,
  kHostGarageBand = 22,
  kHostDigitalPerformer = 23,
  kHostStandalone = 24,
  kHostAudioMulch = 25,
  kHostStudioOne = 26,
  kHostVST3TestHost = 27,
  kHostArdour = 28,
  kHostRenoise = 29,
  kHostOpenMPT = 30,
  kHostWaveLab = 31,
  kHostWaveLabElements = 32,
  kHostTwistedWave = 33,
  kHostBitwig = 34,
  kHostWWW = 35,
  kHostReason = 36,
  kHostGoldWave5x = 37,
  kHostWaveform = 38,
  kHostAudacity = 39,
  kHostAcoustica = 40,
  kHostPluginDoctor = 41,
  kHostiZotopeRX = 42,
  kHostSAVIHost = 43,
  kHostBlueCat = 44,
  kHostMixbus = 45,
};

// Plug-in kinds, as the configuration declares them.
enum EPlugType { kEffect = 0, kInstrument = 1, kMIDIEffect = 2, kGenerator = 3 };

} // namespace umbra

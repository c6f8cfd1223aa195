#pragma once

// What the editor commands share: a fresh plug-in set up as a host sets it up, with the user's
// preset and settings, and a host clock that plays audio through it and runs its 20 ms timer
// (the editor's meter data and OnIdle) in step with that audio.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SoundFile.h"

namespace umbra {
class Umbravox;
}

namespace umbra::cli {

// The options every editor command takes; Parse consumes them from args and leaves the rest.
struct EditorPlugOptions {
  std::optional<std::string> preset;
  std::vector<std::string> settings; // "NAME=VALUE"
  std::optional<std::string> audioPath;
  std::optional<std::string> show; // "about" or "presets": the popup opened once the editor is


  // Takes the option at args[i] (and its value) when it is one of ours, advancing i.
  bool Parse(const std::vector<std::string>& args, size_t& i);
};

// Stereo audio for the editor: a file's first two channels, a mono file on both.
sound::SoundData ReadEditorAudio(const std::string& path);

constexpr double kEditorDefaultSampleRate = 48000.0;
constexpr double kTimerSeconds = 0.020;

// A fresh instance running at sampleRate in blocks of up to maxBlock frames, stereo in and out,
// with options' preset and settings applied. Throws UsageError for an unknown preset or a bad
// setting.
std::unique_ptr<Umbravox> MakeEditorPlug(const EditorPlugOptions& options, double sampleRate,
                                         int maxBlock);

// Opens the popup options.show names in plug's open editor, as a click on its icon does.
void ShowRequestedPopup(const EditorPlugOptions& options, Umbravox& plug);

// Host time in samples. Advance(n) moves it n samples on: with audio, those samples are
// processed in blocks that end at every 20 ms boundary, where the plug-in's timer runs; without
// audio, only the timer runs at those boundaries. Audio that runs out is followed by silence,
// or starts again when looping.
class HostClock {
public:
  HostClock(Umbravox& plug, double sampleRate, const sound::SoundData* audio, bool loop);

  void Advance(int64_t frames);
  int64_t Position() const { return mPosition; }
  // The longest block Advance ever hands the plug-in.
  static int MaxBlockFor(double sampleRate);

private:
  int64_t NextTimerBoundary() const;
  void Process(int frames);

  Umbravox& mPlug;
  double mSampleRate;
  const sound::SoundData* mAudio;
  bool mLoop;
  int64_t mPosition = 0;
  int64_t mTimerTicks = 0; // timer runs so far
  int64_t mReadPosition = 0;
  std::vector<float> mIn[2], mOut[2];
};

} // namespace umbra::cli

#pragma once

namespace umbra {

// The engine's frame at a sample rate. The sound is defined at 48 kHz: frames of 4096 samples
// every 512 (10.67 ms hops, 11.72 Hz bins, 85 ms of latency). At other rates the frame follows
// the rate so that hops and bins keep their length in seconds and hertz: the hop is the number of
// samples nearest 512 x rate / 48000 whose only prime factors are 2, 3 and 5 (which the
// transforms handle at full speed), and the frame is eight hops. At 96 and 192 kHz that is
// exactly twice and four times the 48 kHz frame; at 44.1 kHz it is 480 samples (10.88 ms, 2 %
// longer than at 48 kHz), a difference the time constants make up for through timeScale.
struct FrameTiming {
  int frameSize = 4096;
  int hopSize = 512;
  // A hop's length in seconds over the 48 kHz hop's; also the 48 kHz bin's width in hertz over
  // this frame's. Exactly 1 at 48 kHz.
  double timeScale = 1.0;
  // Both paths leave a frame and a hop after they entered (4608 samples, 96 ms, at 48 kHz): the
  // hop is the time a frame's work is spread over, so no callback carries a whole frame. The
  // rings are this long.
  int Latency() const { return frameSize + hopSize; }
};

FrameTiming FrameTimingFor(double sampleRate);

} // namespace umbra

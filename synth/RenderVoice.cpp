#include "synth/RenderVoice.h"

#include <bit>
#include <cmath>

#include "synth/RenderNumerics.h"
#include "synth/UnisonSaws.h"

// Each sample evaluates the formulas in their exact order, so every output
// bit is what a plain evaluation gives. Two things make it fast: the loop is
// compiled once per oscillator mode, and every power, sine and division
// whose input bits have not changed reuses its last result (PitchMemo for
// the pitch factors, the oscillators' Retune for the periods that depend on
// the frequency alone).

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
// A signalling NaN: arithmetic never produces it, so it matches no frequency.
constexpr uint64_t kNoFrequency = 0x7FF0000000000001u;

// What stays fixed for one call.
struct Call {
  const Synth& synth;
  const Clock& clock;
  VoiceRenderState& state;
  const std::atomic<int32_t>* liveGate;
  const std::atomic<double>* bend;
  SemiPowMemo* bendMemo;
  const std::atomic<double>* level;  // null for live voices
  bool filterOn;
  double A, B;
};

// The voice filter's coefficients, fixed for the whole call.
void SetFilterCoefficients(Call& c, const Voice& v) {
  const SynthParams& p = c.synth.params;
  c.filterOn = c.synth.switches.VoiceResoOn.load(kRelaxed) != 0;
  if (!c.filterOn) return;
  double x = v.sweepPhase;
  if (c.synth.switches.TimedResoOn.load(kRelaxed) != 0)
    x = static_cast<double>(c.clock.Milliseconds()) * (0.001 / p.LPFTimedReso.load(kRelaxed));
  const double fc = p.LPFResoCut.load(kRelaxed) +
                    p.LPFResoSndW.load(kRelaxed) * (1.0 - std::cos(kSweepTwoPi * x)) * 0.5;
  const double w = fc * kRadPerHz;
  const double r = 1.0 - w / (w + 2.0 * (0.5 / (w + 1.0) + p.LPFResoAmp.load(kRelaxed)) - 2.0);
  c.A = r * r;
  c.B = 1.0 + r * r - 2.0 * r * std::cos(w);
}

// F of one sample: note frequency, bend, shift, arpeggio step, vibrato.
inline double Pitch(Call& c, const Voice& v, uint32_t n) {
  const Synth& syn = c.synth;
  const SynthParams& p = syn.params;
  PitchMemo& memo = c.state.memo;
  double F = v.freq * (*c.bendMemo)(c.bend->load(kRelaxed)) * memo.shift(syn.PitchShift.load(kRelaxed));
  if (syn.switches.ArpeggioOn.load(kRelaxed) != 0) {
    const int32_t j = TruncToInt32(static_cast<double>(n) * kInvRate / p.ArpeggioRate.load(kRelaxed));
    const int32_t step = ((j % 3) + 3) % 3;
    int32_t k = 0;
    if (step == 1) k = TruncToInt32(p.ArpeggioS1.load(kRelaxed));
    if (step == 2) k = TruncToInt32(p.ArpeggioS2.load(kRelaxed));
    F = F * memo.arpeggio[step](static_cast<double>(k));
  }
  const double modPower = p.ModPower.load(kRelaxed);
  if (modPower >= kMinModPower) {
    const double t = static_cast<double>(c.clock.Milliseconds());
    const double sine = memo.vibratoSine(t * p.ModFreq.load(kRelaxed) * kTwoPiSPerMs);
    F = F * memo.vibrato(sine * p.ModFact.load(kRelaxed) * modPower);
  }
  return F;
}

// The oscillators. Retune(F) runs whenever F's bits change; Sample returns
// s for counter value n and advances the voice's oscillator state.

// Modes 0-3, 6 and 11: a shape of frac(phase / 2), then the phase step.
template <int Mode>
struct PhaseOsc {
  const Call& c;
  double step = 0.0;
  uint64_t widthKey = std::bit_cast<uint64_t>(2.0);
  double width = 0.5;

  void Retune(double F) { step = 2.0 / (44100.0 / F); }

  double Shape(double f) {
    if constexpr (Mode == 0) return f < 0.5 ? -0.5 : 0.5;
    if constexpr (Mode == 1) return f < 0.25 ? -0.75 : 0.25;
    if constexpr (Mode == 2) return f < 0.125 ? -0.875 : 0.125;
    if constexpr (Mode == 3) return f - 0.5;
    if constexpr (Mode == 6) return 0.5 * std::sin(f * kTwoPiS);
    if constexpr (Mode == 11) {
      const double rectw = c.synth.params.rectwFact.load(kRelaxed);
      if (std::bit_cast<uint64_t>(rectw) != widthKey) {
        widthKey = std::bit_cast<uint64_t>(rectw);
        width = 1.0 / rectw;
      }
      return f < width ? width - 1.0 : width;
    }
  }

  double Sample(Voice& v, uint32_t n) {
    const double s = Shape(Frac(v.phase / 2.0));
    v.phase = v.phase + step;
    v.counter = n + 1;
    return s;
  }
};

struct TriangleOsc {  // mode 4
  double P = 0.0, half = 0.0;
  void Retune(double F) {
    P = 44100.0 / F;
    half = 44100.0 / (2.0 * F);
  }
  double Sample(Voice& v, uint32_t n) {
    const double a = n / P * 0.5;
    const double b = n / half * 0.5;
    v.counter = n + 2;
    return Frac(a) < 0.5 ? Frac(b) - 0.5 : 0.5 - Frac(b);
  }
};

struct NoiseOsc {  // mode 5
  NoiseGenerator& noise;
  void Retune(double) {}
  double Sample(Voice&, uint32_t) { return noise.Next() / 32767.0 - 0.5; }
};

inline double SinePartial(uint32_t n, double period) { return std::sin(Frac(n / period * 0.5) * kTwoPiS); }

struct OrganAOsc {  // mode 7
  double P = 0.0, P5 = 0.0, P3 = 0.0;
  void Retune(double F) {
    P = 44100.0 / F;
    P5 = 44100.0 / (5.0 * F);
    P3 = 44100.0 / (3.0 * F);
  }
  double Sample(Voice& v, uint32_t n) {
    v.counter = n + 1;
    return 0.25 * SinePartial(n, P) + (1.0 / 12.0) * SinePartial(n, P5) + (1.0 / 6.0) * SinePartial(n, P3);
  }
};

struct OrganBOsc {  // mode 8
  double P2 = 0.0, P = 0.0, P3 = 0.0;
  void Retune(double F) {
    P2 = 44100.0 / (2.0 * F);
    P = 44100.0 / F;
    P3 = 44100.0 / (3.0 * F);
  }
  double Sample(Voice& v, uint32_t n) {
    v.counter = n + 1;
    return (1.0 / 6.0) * SinePartial(n, P2) + 0.25 * SinePartial(n, P) + (1.0 / 12.0) * SinePartial(n, P3);
  }
};

struct UnisonOsc {  // mode 9
  UnisonSaws saws;
  explicit UnisonOsc(const Synth& synth) {
    for (int k = 0; k < kUnisonSaws; ++k) {
      saws.offset[k] = static_cast<uint32_t>(synth.UnisonOffset[k].load(kRelaxed));
      saws.ratio[k] = synth.UnisonRatio[k].load(kRelaxed);
    }
  }
  void Retune(double F) {
    const double P = 44100.0 / F;
    for (int k = 0; k < kUnisonSaws; ++k) saws.period[k] = P * saws.ratio[k];
  }
  double Sample(Voice& v, uint32_t n) {
    v.counter = n + 1;
    return SumUnisonSaws(saws, n);
  }
};

struct SpikeOsc {  // mode 10
  double P = 0.0;
  void Retune(double F) { P = 44100.0 / F; }
  double Sample(Voice& v, uint32_t n) {
    v.counter = n + 2;
    const double u = Frac(n / P * 0.5) - 0.5;
    return u >= kSpikeLevel ? u : 0.0;
  }
};

struct HalfSawOsc {  // mode 12
  double Q = 0.0;
  void Retune(double F) { Q = 44100.0 / (2.0 * F); }
  double Sample(Voice& v, uint32_t n) {
    if (Frac(n / Q * 0.5) < 0.5) {
      v.counter = n + 4;
      return Frac((n + 2u) / Q * 0.5) - 0.5;
    }
    v.counter = n + 2;
    return 0.5;
  }
};

struct HoldNoiseOsc {  // mode 13
  NoiseGenerator& noise;
  double P = 0.0;
  void Retune(double F) { P = 44100.0 / F; }
  double Sample(Voice& v, uint32_t n) {
    if (n > P) {
      v.counter = 0;
      v.holdValue = noise.Next() / 32767.0 - 0.5;
    } else {
      v.counter = n + 1;
    }
    return v.holdValue;
  }
};

struct FallingSineOsc {  // mode 14
  double F = 0.0;
  void Retune(double f) { F = f; }
  double Sample(Voice& v, uint32_t n) {
    const uint32_t q = n / 50;
    if (q >= F) return 0.0;
    const double s = 0.5 * std::sin(Frac(v.phase / 2.0) * kTwoPiS);
    v.counter = n + 1;
    v.phase = v.phase + 2.0 * (F - q) / 44100.0;
    return s;
  }
};

struct SilentOsc {  // any other mode
  void Retune(double) {}
  double Sample(Voice&, uint32_t) { return 0.0; }
};

template <typename Osc>
[[gnu::always_inline]] inline void RenderLoop(int16_t* buffer, uint32_t count, Voice& v, Call& c, Osc& osc) {
  const SynthParams& p = c.synth.params;
  uint64_t tunedTo = kNoFrequency;
  uint64_t gainKey = ~std::bit_cast<uint64_t>(v.lifeLeft);
  double envelope = 0.0;
  const uint32_t start = v.startOffset < 0 ? 0u : static_cast<uint32_t>(v.startOffset);
  for (uint32_t i = start; i < count; ++i) {
    const uint32_t n = v.counter;
    const double F = Pitch(c, v, n);
    if (std::bit_cast<uint64_t>(F) != tunedTo) {
      tunedTo = std::bit_cast<uint64_t>(F);
      osc.Retune(F);
    }
    double s = osc.Sample(v, n);

    if (std::bit_cast<uint64_t>(v.lifeLeft) != gainKey) {
      gainKey = std::bit_cast<uint64_t>(v.lifeLeft);
      // A release time of 0 plays at full level until the release ends it.
      envelope = v.lifeTotal == 0.0 ? 1.0 : v.lifeLeft / v.lifeTotal;
    }
    double g = envelope;
    if (c.level) g = g * c.level->load(kRelaxed);
    g = g * v.amp * p.MasterVol.load(kRelaxed);
    s = s * g;

    if (c.filterOn) {
      const double x = WrapToInt16(TruncToInt64(s));
      const double w = (x - v.resoY) * c.B + v.resoV;
      v.resoY = v.resoY + w;
      v.resoV = c.A * w;
      s = ClampToSampleRange(v.resoY);
    }
    buffer[i] = SaturateToSample(buffer[i] + s);

    const int32_t gate = c.liveGate ? c.liveGate->load(kRelaxed) : v.gate;
    if (gate == 0) {
      v.lifeLeft = v.lifeLeft - kInvRate;
      if (v.lifeLeft < 0.0) {
        v.active = 0;
        v.startOffset = 0;
        return;
      }
    } else {
      v.lifeLeft = v.lifeLeft + kInvTwiceRate;
      if (v.lifeLeft > v.lifeTotal) v.lifeLeft = v.lifeTotal;
      v.sweepPhase = v.sweepPhase + v.sweepRate * kInvRate;
    }
  }
  v.startOffset = 0;
}

// The voice is worked on in a local copy, which the compiler keeps in
// registers: the loop-carried state then costs no memory round trips.
template <typename Osc>
void RenderSamples(int16_t* buffer, uint32_t count, Voice& voice, Call& c, Osc osc) {
  Voice v = voice;
  RenderLoop(buffer, count, v, c, osc);
  voice = v;
}

}  // namespace

void RenderVoice(int16_t* buffer, uint32_t count, Voice& v, const RenderInputs& in,
                 const std::atomic<int32_t>* liveGate) {
  const Synth& syn = in.synth;
  PitchMemo& memo = in.state.memo;
  // A channel outside 0..15 that is not the live channel has no table
  // entry: such a voice follows the live bend at full level.
  const bool sequenced = v.channel >= 0 && v.channel < kMidiChannels;
  Call c{syn,
         in.clock,
         in.state,
         liveGate,
         sequenced ? &syn.ChannelBend[v.channel] : &syn.PitchBend,
         sequenced ? &memo.bend[v.channel] : &memo.bend[kMidiChannels],
         sequenced ? &syn.ChannelLevel[v.channel] : nullptr,
         false,
         0.0,
         0.0};
  SetFilterCoefficients(c, v);
  NoiseGenerator& noise = in.state.noise;
  switch (v.mode) {
    case 0: return RenderSamples(buffer, count, v, c, PhaseOsc<0>{c});
    case 1: return RenderSamples(buffer, count, v, c, PhaseOsc<1>{c});
    case 2: return RenderSamples(buffer, count, v, c, PhaseOsc<2>{c});
    case 3: return RenderSamples(buffer, count, v, c, PhaseOsc<3>{c});
    case 4: return RenderSamples(buffer, count, v, c, TriangleOsc{});
    case 5: return RenderSamples(buffer, count, v, c, NoiseOsc{noise});
    case 6: return RenderSamples(buffer, count, v, c, PhaseOsc<6>{c});
    case 7: return RenderSamples(buffer, count, v, c, OrganAOsc{});
    case 8: return RenderSamples(buffer, count, v, c, OrganBOsc{});
    case 9: return RenderSamples(buffer, count, v, c, UnisonOsc{syn});
    case 10: return RenderSamples(buffer, count, v, c, SpikeOsc{});
    case 11: return RenderSamples(buffer, count, v, c, PhaseOsc<11>{c});
    case 12: return RenderSamples(buffer, count, v, c, HalfSawOsc{});
    case 13: return RenderSamples(buffer, count, v, c, HoldNoiseOsc{noise});
    case 14: return RenderSamples(buffer, count, v, c, FallingSineOsc{});
    default: return RenderSamples(buffer, count, v, c, SilentOsc{});
  }
}

}  // namespace tavolin

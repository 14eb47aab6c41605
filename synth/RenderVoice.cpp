#include "synth/RenderVoice.h"

#include <bit>
#include <cmath>
#include <limits>

#include "synth/RenderNumerics.h"
#include "synth/ResonantLowPass.h"
#include "synth/UnisonSaws.h"

// Each sample evaluates the formulas in their exact order, so every output
// bit is what a plain evaluation gives. What makes it fast:
// - every power, sine and division whose input bits have not changed reuses
//   its last result (PitchMemo for the pitch factors, ArpeggioStep for the
//   arpeggio's division, the oscillators' Retune for the periods that depend
//   on the frequency alone);
// - the loop is compiled once per oscillator mode, and its samples run
//   through a form of the pitch that makes no function call for as long as
//   nothing has changed, so the voice's state stays in registers;
// - on x86-64, the unison mode divides its saws in vector lanes (UnisonSaws.h).

namespace tavolin {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
// A signalling NaN: arithmetic never produces it, so it matches no frequency.
constexpr uint64_t kNoFrequency = 0x7FF0000000000001u;

// What stays fixed for one call.
struct Call {
  const Synth& synth;
  const Clock& clock;
  // The clock's counter when it can be read without a call: vibrato then
  // runs on the fast path too. The general form reads the clock itself,
  // which brings a live clock's counter up to date.
  const std::atomic<uint32_t>* tick;
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
  const LowPassCoefficients k = ResonantLowPass(
      SweptCutoff(p.LPFResoCut.load(kRelaxed), p.LPFResoSndW.load(kRelaxed), x), p.LPFResoAmp.load(kRelaxed));
  c.A = k.A;
  c.B = k.B;
}

// The vibrato's factor at the clock's present reading. Out of line: it
// calls the clock and, when the reading has moved, the sine; inlined, it
// would crowd the registers of the loops that take the fast form.
[[gnu::noinline]] double VibratoFactor(const Call& c, double modPower) {
  const SynthParams& p = c.synth.params;
  PitchMemo& memo = c.state.memo;
  const double t = static_cast<double>(c.clock.Milliseconds());
  const double sine = memo.vibratoSine(t * p.ModFreq.load(kRelaxed) * kTwoPiSPerMs);
  return memo.vibrato(sine * p.ModFact.load(kRelaxed) * modPower);
}

inline int32_t ArpeggioIndex(uint32_t n, double rate) {
  return TruncToInt32(static_cast<double>(n) * kInvRate / rate);
}

// The arpeggio step of counter value n, j mod 3 with j = trunc(n / 44100 /
// rate). For a positive finite rate j never falls as n grows (each operation
// is monotonic), so once j is known for n, a search finds the last counter
// value with the same j, and the division is skipped up to there.
struct ArpeggioStep {
  uint64_t rateKey = kNoFrequency;
  uint32_t from = 1, to = 0;  // every counter value in from..to has `step`
  int32_t step = 0;
  // For steps 1 and 2: the factor SEMI^trunc(offset) of the offset
  // parameter's value with these bits.
  bool factorValid = false;
  uint64_t offsetKey = 0;
  double factor = 1.0;

  bool Holds(uint32_t n, double rate) const {
    return std::bit_cast<uint64_t>(rate) == rateKey && n >= from && n <= to;
  }
  [[gnu::noinline]] void Find(uint32_t n, double rate);
};

void ArpeggioStep::Find(uint32_t n, double rate) {
  const int32_t j = ArpeggioIndex(n, rate);
  step = ((j % 3) + 3) % 3;
  factorValid = false;
  from = to = n;
  rateKey = std::bit_cast<uint64_t>(rate);
  if (!(rate > 0.0 && rate < std::numeric_limits<double>::infinity())) return;  // n alone
  uint64_t same = n, other = uint64_t{UINT32_MAX} + 1;
  for (uint64_t d = 1; same + d <= UINT32_MAX; d *= 2) {
    if (ArpeggioIndex(static_cast<uint32_t>(same + d), rate) != j) {
      other = same + d;
      break;
    }
    same += d;
  }
  while (other - same > 1) {
    const uint64_t mid = same + (other - same) / 2;
    if (ArpeggioIndex(static_cast<uint32_t>(mid), rate) == j)
      same = mid;
    else
      other = mid;
  }
  to = static_cast<uint32_t>(same);
}

// What one call remembers about the pitch: the note frequency times bend
// and shift while neither changes, and the arpeggio step.
struct BentFrequency {
  bool known = false;  // the general form sets it on its first sample
  uint64_t bendKey = 0;
  uint64_t shiftKey = 0;
  double value = 0.0;
  ArpeggioStep arpeggio;
};

// F of one sample: note frequency, bend, shift, arpeggio step, vibrato.
// The general form (MayCall) evaluates whatever has changed. The fast form
// makes no function call at all, so that the loop around it keeps its state
// in registers (a call would clobber them all); it gives up (false) where it
// would need one: a new bend or shift, a new arpeggio step or offset, a new
// vibrato value, or a clock that can only be read by a call. The general
// form returns whether the fast one can take over at the next sample.
template <bool MayCall>
[[gnu::always_inline]] inline bool Pitch(Call& c, double freq, BentFrequency& bent, uint32_t n, double& F) {
  const Synth& syn = c.synth;
  const SynthParams& p = syn.params;
  PitchMemo& memo = c.state.memo;
  const double bend = c.bend->load(kRelaxed);
  const double shift = syn.PitchShift.load(kRelaxed);
  if ((MayCall && !bent.known) || std::bit_cast<uint64_t>(bend) != bent.bendKey ||
      std::bit_cast<uint64_t>(shift) != bent.shiftKey) {
    if constexpr (!MayCall) return false;
    bent.known = true;
    bent.value = freq * (*c.bendMemo)(bend) * memo.shift(shift);
    bent.bendKey = std::bit_cast<uint64_t>(bend);
    bent.shiftKey = std::bit_cast<uint64_t>(shift);
  }
  F = bent.value;
  if (syn.switches.ArpeggioOn.load(kRelaxed) != 0) {
    const double rate = p.ArpeggioRate.load(kRelaxed);
    ArpeggioStep& arpeggio = bent.arpeggio;
    if (!arpeggio.Holds(n, rate)) {
      if constexpr (!MayCall) return false;
      arpeggio.Find(n, rate);
    }
    // Step 0 multiplies by SEMI^0 = 1, which leaves F exactly as it is.
    if (arpeggio.step != 0) {
      const double semitones = (arpeggio.step == 1 ? p.ArpeggioS1 : p.ArpeggioS2).load(kRelaxed);
      if (!arpeggio.factorValid || std::bit_cast<uint64_t>(semitones) != arpeggio.offsetKey) {
        if constexpr (!MayCall) return false;
        arpeggio.factor = memo.arpeggio[arpeggio.step](static_cast<double>(TruncToInt32(semitones)));
        arpeggio.offsetKey = std::bit_cast<uint64_t>(semitones);
        arpeggio.factorValid = true;
      }
      F = F * arpeggio.factor;
    }
  }
  const double modPower = p.ModPower.load(kRelaxed);
  if (modPower >= kMinModPower) {
    if constexpr (MayCall) {
      F = F * VibratoFactor(c, modPower);
      return c.tick != nullptr;
    } else {
      if (!c.tick) return false;
      const double t = static_cast<double>(c.tick->load(kRelaxed));
      const double angle = t * p.ModFreq.load(kRelaxed) * kTwoPiSPerMs;
      if (!memo.vibratoSine.Holds(angle)) return false;
      const double depth = memo.vibratoSine.value * p.ModFact.load(kRelaxed) * modPower;
      if (!memo.vibrato.Holds(depth)) return false;
      F = F * memo.vibrato.value;
    }
  }
  return true;
}

// The part of the voice that the oscillators advance.
struct OscState {
  uint32_t counter;
  double phase;
  double holdValue;
};

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

  double Sample(OscState& v, uint32_t n) {
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
  double Sample(OscState& v, uint32_t n) {
    const double a = n / P * 0.5;
    const double b = n / half * 0.5;
    v.counter = n + 2;
    return Frac(a) < 0.5 ? Frac(b) - 0.5 : 0.5 - Frac(b);
  }
};

struct NoiseOsc {  // mode 5
  NoiseGenerator& noise;
  void Retune(double) {}
  double Sample(OscState&, uint32_t) { return noise.Next() / 32767.0 - 0.5; }
};

inline double SinePartial(uint32_t n, double period) { return std::sin(Frac(n / period * 0.5) * kTwoPiS); }

struct OrganAOsc {  // mode 7
  double P = 0.0, P5 = 0.0, P3 = 0.0;
  void Retune(double F) {
    P = 44100.0 / F;
    P5 = 44100.0 / (5.0 * F);
    P3 = 44100.0 / (3.0 * F);
  }
  double Sample(OscState& v, uint32_t n) {
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
  double Sample(OscState& v, uint32_t n) {
    v.counter = n + 1;
    return (1.0 / 6.0) * SinePartial(n, P2) + 0.25 * SinePartial(n, P) + (1.0 / 12.0) * SinePartial(n, P3);
  }
};

template <bool Avx>
struct UnisonOsc {  // mode 9
  UnisonSaws saws;
  // With AVX: the sums of four consecutive counter values, computed at once
  // and valid until the pitch changes (the counter steps by one per sample).
  double sums[4];
  uint32_t sumsFrom = 0;
  bool sumsValid = false;

  explicit UnisonOsc(const Synth& synth) {
    for (int k = 0; k < kUnisonSaws; ++k) {
      saws.offset[k] = static_cast<uint32_t>(synth.UnisonOffset[k].load(kRelaxed));
      saws.ratio[k] = synth.UnisonRatio[k].load(kRelaxed);
    }
  }
  void Retune(double F) {
    const double P = 44100.0 / F;
    for (int k = 0; k < kUnisonSaws; ++k) saws.period[k] = P * saws.ratio[k];
    sumsValid = false;
  }
  double Sample(OscState& v, uint32_t n) {
    v.counter = n + 1;
#if defined(__x86_64__)
    if constexpr (Avx) {
      if (!sumsValid || n - sumsFrom >= 4) {
        SumUnisonSawsAvx(saws, n, sums);
        sumsFrom = n;
        sumsValid = true;
      }
      return sums[n - sumsFrom];
    }
#endif
    return SumUnisonSaws(saws, n);
  }
};

struct SpikeOsc {  // mode 10
  double P = 0.0;
  void Retune(double F) { P = 44100.0 / F; }
  double Sample(OscState& v, uint32_t n) {
    v.counter = n + 2;
    const double u = Frac(n / P * 0.5) - 0.5;
    return u >= kSpikeLevel ? u : 0.0;
  }
};

struct HalfSawOsc {  // mode 12
  double Q = 0.0;
  void Retune(double F) { Q = 44100.0 / (2.0 * F); }
  double Sample(OscState& v, uint32_t n) {
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
  double Sample(OscState& v, uint32_t n) {
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
  double Sample(OscState& v, uint32_t n) {
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
  double Sample(OscState&, uint32_t) { return 0.0; }
};

// The voice's state lives in locals for the loop, which the compiler keeps
// in registers, and goes back into the voice when the call ends.
template <typename Osc>
void RenderSamples(int16_t* buffer, uint32_t count, Voice& v, const Call& call, Osc osc) {
  Call c = call;  // a local copy, which the compiler keeps in registers
  const SynthParams& p = c.synth.params;
  const double freq = v.freq, amp = v.amp, lifeTotal = v.lifeTotal;
  const double sweepStep = v.sweepRate * kInvRate;
  // While held at full level the envelope cannot move (a finite lifeTotal
  // plus a step, limited to lifeTotal, is lifeTotal again); skipping that
  // update keeps it off the loop's chain of dependent operations.
  const uint64_t fullLevel = std::isfinite(lifeTotal) ? std::bit_cast<uint64_t>(lifeTotal) : ~std::bit_cast<uint64_t>(lifeTotal);
  OscState o{v.counter, v.phase, v.holdValue};
  double lifeLeft = v.lifeLeft, sweepPhase = v.sweepPhase, resoY = v.resoY, resoV = v.resoV;

  // Fixed for the call; held in locals so that the compiler knows they are.
  const bool filterOn = c.filterOn;
  const double A = c.A, B = c.B;
  const std::atomic<double>* const level = c.level;
  // The gate comes from the slot (read live) or from the voice copy.
  const std::atomic<int32_t> ownGate{v.gate};
  const std::atomic<int32_t>& gateSource = c.liveGate ? *c.liveGate : ownGate;

  uint64_t tunedTo = kNoFrequency;
  uint64_t gainKey = ~std::bit_cast<uint64_t>(lifeLeft);
  double envelope = 0.0, envelopeAmp = 0.0;

  // Sample i at pitch F; false when the voice ends on it.
  auto renderSample = [&](uint32_t i, double F) __attribute__((always_inline)) {
    if (std::bit_cast<uint64_t>(F) != tunedTo) {
      tunedTo = std::bit_cast<uint64_t>(F);
      osc.Retune(F);
    }
    double s = osc.Sample(o, o.counter);

    if (std::bit_cast<uint64_t>(lifeLeft) != gainKey) {
      gainKey = std::bit_cast<uint64_t>(lifeLeft);
      // A release time of 0 plays at full level until the release ends it.
      envelope = lifeTotal == 0.0 ? 1.0 : lifeLeft / lifeTotal;
      envelopeAmp = envelope * amp;
    }
    const double g = (level ? envelope * level->load(kRelaxed) * amp : envelopeAmp) *
                     p.MasterVol.load(kRelaxed);
    s = s * g;

    if (filterOn) {
      const double x = WrapToInt16(TruncToInt64(s));
      const double w = (x - resoY) * B + resoV;
      resoY = resoY + w;
      resoV = A * w;
      s = ClampToSampleRange(resoY);
    }
    buffer[i] = SaturateToSample(buffer[i] + s);

    const int32_t gate = gateSource.load(kRelaxed);
    if (gate == 0) {
      lifeLeft = lifeLeft - kInvRate;
      return !(lifeLeft < 0.0);
    }
    if (std::bit_cast<uint64_t>(lifeLeft) != fullLevel) {
      lifeLeft = lifeLeft + kInvTwiceRate;
      if (lifeLeft > lifeTotal) lifeLeft = lifeTotal;
    }
    sweepPhase = sweepPhase + sweepStep;
    return true;
  };

  // Samples alternate between the general form of Pitch and runs of the
  // call-free one, for as long as that one can go on.
  BentFrequency bent;
  bool ended = false;
  uint32_t i = v.startOffset < 0 ? 0u : static_cast<uint32_t>(v.startOffset);
  while (i < count) {
    double F;
    const bool callFree = Pitch<true>(c, freq, bent, o.counter, F);
    if (!renderSample(i++, F)) {
      ended = true;
      break;
    }
    if (!callFree) continue;
    while (i < count && Pitch<false>(c, freq, bent, o.counter, F)) {
      if (!renderSample(i++, F)) {
        ended = true;
        goto done;
      }
    }
  }
done:
  v.counter = o.counter;
  v.phase = o.phase;
  v.holdValue = o.holdValue;
  v.lifeLeft = lifeLeft;
  v.sweepPhase = sweepPhase;
  v.resoY = resoY;
  v.resoV = resoV;
  v.startOffset = 0;
  if (ended) v.active = 0;
}

#if defined(__x86_64__)
// The unison loop compiled for AVX, with the saw sum inlined into it.
[[gnu::target("avx"), gnu::flatten]] void RenderUnisonWithAvx(int16_t* buffer, uint32_t count, Voice& v,
                                                              Call& c) {
  RenderSamples(buffer, count, v, c, UnisonOsc<true>{c.synth});
}

const bool kHasAvx = (__builtin_cpu_init(), __builtin_cpu_supports("avx"));
#endif

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
         in.clock.Counter(),
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
    case 9:
#if defined(__x86_64__)
      if (kHasAvx) return RenderUnisonWithAvx(buffer, count, v, c);
#endif
      return RenderSamples(buffer, count, v, c, UnisonOsc<false>{syn});
    case 10: return RenderSamples(buffer, count, v, c, SpikeOsc{});
    case 11: return RenderSamples(buffer, count, v, c, PhaseOsc<11>{c});
    case 12: return RenderSamples(buffer, count, v, c, HalfSawOsc{});
    case 13: return RenderSamples(buffer, count, v, c, HoldNoiseOsc{noise});
    case 14: return RenderSamples(buffer, count, v, c, FallingSineOsc{});
    default: return RenderSamples(buffer, count, v, c, SilentOsc{});
  }
}

}  // namespace tavolin

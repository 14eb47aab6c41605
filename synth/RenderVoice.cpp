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
// - the loop is compiled once per oscillator mode. Between the samples on
//   which Pitch evaluates F, runs of samples at the same F go on for as long
//   as SamePitch, which makes no function call, finds nothing changed. Each
//   run is a call of its own, compiled for the filter on or off and for a
//   plain or a modulated pitch, so that its few live values stay in
//   registers (the noise generator's state among them); a voice held at
//   full level skips its envelope there, which cannot move;
// - the square and pulse modes 0-2 tell their two levels apart by one
//   conversion of the phase to an integer instead of taking its fraction;
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
  // is checked within the runs at the same F too. Pitch reads the clock itself,
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

// An input as bits, so that a comparison tells every change.
[[gnu::always_inline]] inline uint64_t Bits(const std::atomic<double>& input) {
  return std::bit_cast<uint64_t>(input.load(kRelaxed));
}
[[gnu::always_inline]] inline int32_t Bits(const std::atomic<int32_t>& input) { return input.load(kRelaxed); }

// Every input F depends on besides the note's frequency, the voice's
// counter and the clock, each listed once beside the field that keeps it
// (Visit): Pitch computes F from what ReadInputs put there, and SamePitch
// compares the inputs with that, one by one, so that an input added here is
// both used and watched. The arpeggio's inputs matter only while it is on
// and the vibrato's only while ModPower reaches kMinModPower, which the
// inputs of every sample say.
struct PitchInputs {
  struct Every {
    uint64_t bend = 0;
    uint64_t shift = 0;
    int32_t arpeggioOn = 0;
    uint64_t modPower = 0;
    template <typename Self, typename Each>
    [[gnu::always_inline]] static bool Visit(Self& kept, const Call& c, Each each) {
      const Synth& syn = c.synth;
      return each(kept.bend, *c.bend) && each(kept.shift, syn.PitchShift) &&
             each(kept.arpeggioOn, syn.switches.ArpeggioOn) && each(kept.modPower, syn.params.ModPower);
    }
    bool ArpeggioOn() const { return arpeggioOn != 0; }
    bool VibratoOn() const { return std::bit_cast<double>(modPower) >= kMinModPower; }
  };
  struct Arpeggio {
    uint64_t rate = 0;
    uint64_t offset1 = 0;
    uint64_t offset2 = 0;
    template <typename Self, typename Each>
    [[gnu::always_inline]] static bool Visit(Self& kept, const Call& c, Each each) {
      const SynthParams& p = c.synth.params;
      return each(kept.rate, p.ArpeggioRate) && each(kept.offset1, p.ArpeggioS1) && each(kept.offset2, p.ArpeggioS2);
    }
  };
  struct Vibrato {
    uint64_t frequency = 0;
    uint64_t depth = 0;
    template <typename Self, typename Each>
    [[gnu::always_inline]] static bool Visit(Self& kept, const Call& c, Each each) {
      const SynthParams& p = c.synth.params;
      return each(kept.frequency, p.ModFreq) && each(kept.depth, p.ModFact);
    }
  };

  Every every;
  Arpeggio arpeggio;  // as last read while the arpeggio was on
  Vibrato vibrato;    // as last read while the vibrato was on
};

// What Visit does with each input: keeps it, or compares it with what was
// kept. Function objects, not lambdas, so that they are inlined for certain:
// a call would clobber the registers of the sample loops.
struct KeepInput {
  template <typename Field, typename Input>
  [[gnu::always_inline]] bool operator()(Field& field, const Input& input) const {
    field = Bits(input);
    return true;
  }
};
struct InputUnchanged {
  template <typename Field, typename Input>
  [[gnu::always_inline]] bool operator()(const Field& field, const Input& input) const {
    return field == Bits(input);
  }
};

template <typename Group>
[[gnu::always_inline]] inline void ReadInputs(Group& kept, const Call& c) {
  Group::Visit(kept, c, KeepInput{});
}

// Stops at the first input that has changed.
template <typename Group>
[[gnu::always_inline]] inline bool SameInputs(const Group& kept, const Call& c) {
  return Group::Visit(kept, c, InputUnchanged{});
}

inline double Value(uint64_t bits) { return std::bit_cast<double>(bits); }

// The vibrato's factor at the clock's present reading, from its inputs as
// read after the clock, which it leaves in `used`. Out of line: it calls the
// clock and, when the reading has moved, the sine; inlined, it would crowd
// the registers of the sample loops.
[[gnu::noinline]] double VibratoFactor(const Call& c, double modPower, PitchInputs::Vibrato& used) {
  PitchMemo& memo = c.state.memo;
  const double t = static_cast<double>(c.clock.Milliseconds());
  ReadInputs(used, c);
  const double sine = memo.vibratoSine(t * Value(used.frequency) * kTwoPiSPerMs);
  return memo.vibrato(sine * Value(used.depth) * modPower);
}

inline int32_t ArpeggioIndex(uint32_t n, double rate) { return TruncToInt32(static_cast<double>(n) * kInvRate / rate); }

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

  bool Holds(uint32_t n, double rate) const { return std::bit_cast<uint64_t>(rate) == rateKey && Covers(n); }
  bool Covers(uint32_t n) const { return n >= from && n <= to; }
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

// What one call remembers about the pitch: the inputs as the last Pitch
// read them, the note frequency times bend and shift while neither changes,
// and the arpeggio step.
struct BentFrequency {
  bool known = false;  // Pitch sets it on its first sample
  PitchInputs inputs;
  double value = 0.0;
  ArpeggioStep arpeggio;
  bool Modulated() const { return inputs.every.ArpeggioOn() || inputs.every.VibratoOn(); }
};

// F of one sample: note frequency, bend, shift, arpeggio step, vibrato,
// evaluating whatever has changed. Returns whether SamePitch can take over
// at the next sample.
inline bool Pitch(Call& c, double freq, BentFrequency& bent, uint32_t n, double& F) {
  PitchMemo& memo = c.state.memo;
  PitchInputs::Every every;
  ReadInputs(every, c);
  if (!bent.known || every.bend != bent.inputs.every.bend || every.shift != bent.inputs.every.shift) {
    bent.known = true;
    bent.value = freq * (*c.bendMemo)(Value(every.bend)) * memo.shift(Value(every.shift));
  }
  bent.inputs.every = every;
  F = bent.value;
  if (every.ArpeggioOn()) {
    PitchInputs::Arpeggio& in = bent.inputs.arpeggio;
    ReadInputs(in, c);
    const double rate = Value(in.rate);
    ArpeggioStep& arpeggio = bent.arpeggio;
    if (!arpeggio.Holds(n, rate)) arpeggio.Find(n, rate);
    // Step 0 multiplies by SEMI^0 = 1, which leaves F exactly as it is.
    if (arpeggio.step != 0) {
      const uint64_t offset = arpeggio.step == 1 ? in.offset1 : in.offset2;
      if (!arpeggio.factorValid || offset != arpeggio.offsetKey) {
        arpeggio.factor = memo.arpeggio[arpeggio.step](static_cast<double>(TruncToInt32(Value(offset))));
        arpeggio.offsetKey = offset;
        arpeggio.factorValid = true;
      }
      F = F * arpeggio.factor;
    }
  }
  if (every.VibratoOn()) {
    F = F * VibratoFactor(c, Value(every.modPower), bent.inputs.vibrato);
    return c.tick != nullptr;
  }
  return true;
}

// Whether this sample's F is that of the sample before, read without a
// single function call, so that the loop around it keeps its state in
// registers (a call would clobber them all): the inputs Pitch used, bit for
// bit, the same arpeggio step, and a vibrato whose angle and depth have the
// same bits. F is then the same product of the same remembered factors.
// Modulated: the arpeggio or the vibrato was on; if not, the inputs every
// sample reads say that both still are off.
template <bool Modulated>
[[gnu::always_inline]] inline bool SamePitch(const Call& c, const BentFrequency& bent, uint32_t n) {
  const PitchInputs& used = bent.inputs;
  if (!SameInputs(used.every, c)) return false;
  if constexpr (!Modulated) return true;
  if (used.every.ArpeggioOn()) {
    // Pitch found the step for the rate it kept.
    if (!SameInputs(used.arpeggio, c) || !bent.arpeggio.Covers(n)) return false;
  }
  if (used.every.VibratoOn()) {
    if (!SameInputs(used.vibrato, c)) return false;
    const PitchMemo& memo = c.state.memo;
    const double t = static_cast<double>(c.tick->load(kRelaxed));
    const double angle = t * Value(used.vibrato.frequency) * kTwoPiSPerMs;
    if (!memo.vibratoSine.Holds(angle)) return false;
    const double depth = memo.vibratoSine.value * Value(used.vibrato.depth) * Value(used.every.modPower);
    if (!memo.vibrato.Holds(depth)) return false;
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
  const std::atomic<double>* rectwFact;
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
      const double rectw = rectwFact->load(kRelaxed);
      if (std::bit_cast<uint64_t>(rectw) != widthKey) {
        widthKey = std::bit_cast<uint64_t>(rectw);
        width = 1.0 / rectw;
      }
      return f < width ? width - 1.0 : width;
    }
  }

  // Shape(Frac(phase / 2)). The pulses of modes 0-2 are low while
  // frac(phase / 2) < 2^-(Mode+1), which holds exactly when the low Mode+1
  // bits of trunc(phase x 2^Mode) are 0 (for phase >= 0 the fraction is
  // exact, and so is the product); one conversion tells them apart. A
  // negative truncation (negative phase, NaN, infinity or beyond the int64
  // range) takes the plain formula.
  double Value(double phase) {
    if constexpr (Mode <= 2) {
      const int64_t whole = TruncSd64(phase * (1 << Mode));
      if (whole >= 0) [[likely]]
        return (whole & ((2 << Mode) - 1)) == 0 ? Shape(0.0) : Shape(1.0);
    }
    return Shape(Frac(phase / 2.0));
  }

  double Sample(OscState& v, uint32_t n) {
    const double s = Value(v.phase);
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

// The noise modes work on a copy of the generator, which the caller takes
// back when the call ends.
struct NoiseOsc {  // mode 5
  NoiseGenerator noise;
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
  NoiseGenerator noise;
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

// What the samples of one call advance besides the oscillator.
struct VoiceState {
  OscState o;
  double lifeLeft, sweepPhase, resoY, resoV;
};

// What stays fixed for the voice during one call.
struct VoiceConstants {
  int16_t* buffer;
  uint32_t count;
  double amp, lifeTotal, sweepStep;
  // lifeLeft's bits while held at full level, where the envelope cannot move
  // (a finite lifeTotal plus a step, limited to lifeTotal, is lifeTotal
  // again).
  uint64_t fullLevel;
  double A, B;  // the filter's coefficients
  // The channel's level; for live voices a constant 1, which leaves the
  // product exactly as it is without it.
  const std::atomic<double>* level;
  // The gate, from the slot (read live) or from the voice copy.
  const std::atomic<int32_t>* gate;
};

const std::atomic<double> kFullChannelLevel{1.0};

// The envelope's level at lifeLeft, a pure function of its bits: a
// release time of 0 plays at full level until the release ends it.
inline double Envelope(const VoiceConstants& k, double lifeLeft) {
  return k.lifeTotal == 0.0 ? 1.0 : lifeLeft / k.lifeTotal;
}

// Oscillator value s through the gain at envelope level e and, with Filter,
// the voice filter, added into sample i.
template <bool Filter>
[[gnu::always_inline]] inline void Mix(const Call& c, const VoiceConstants& k, VoiceState& st, double e, int16_t& out,
                                       double s) {
  const double g = e * k.level->load(kRelaxed) * k.amp * c.synth.params.MasterVol.load(kRelaxed);
  s = s * g;
  if constexpr (Filter) {
    const double x = WrapToInt16(TruncToInt64(s));
    const double w = (x - st.resoY) * k.B + st.resoV;
    st.resoY = st.resoY + w;
    st.resoV = k.A * w;
    s = ClampToSampleRange(st.resoY);
  }
  out = SaturateToSample(out + s);
}

// The envelope's step after a sample: down while the gate is 0, else up to
// full level, with the sweep moving. False when the voice ends on it.
[[gnu::always_inline]] inline bool StepEnvelope(const VoiceConstants& k, VoiceState& st) {
  if (k.gate->load(kRelaxed) == 0) {
    st.lifeLeft = st.lifeLeft - kInvRate;
    return !(st.lifeLeft < 0.0);
  }
  if (std::bit_cast<uint64_t>(st.lifeLeft) != k.fullLevel) {
    st.lifeLeft = st.lifeLeft + kInvTwiceRate;
    if (st.lifeLeft > k.lifeTotal) st.lifeLeft = k.lifeTotal;
  }
  st.sweepPhase = st.sweepPhase + k.sweepStep;
  return true;
}

// How a run of samples at the same F stopped.
enum class RunEnd { kPitch, kFullLevel, kBlock, kVoice };

// Where the samples of a call have got to.
template <typename Osc>
struct Progress {
  Osc osc;
  VoiceState st;
  uint32_t i;  // the next sample
};

// Samples i.. at the pitch the oscillator is tuned to, for as long as
// SamePitch holds. Each run is a call of its own, compiled for whether the
// pitch is modulated and the filter on, whose few live values the compiler
// keeps in registers. Held at full level, the envelope stays as it is and
// only the sweep moves; from the sample on which the gate is found cleared
// (or whenever the voice is not at full level) a second loop moves the
// envelope on every sample, until it reaches full level again. Flattened:
// the oscillator's sample, too, is inlined however large the loop grows.
template <bool Modulated, bool Filter, typename Osc>
[[gnu::noinline, gnu::flatten]] RunEnd Run(const Call& call, const VoiceConstants& constants,
                                           const BentFrequency& pitch, Progress<Osc>& progress) {
  // Local copies, which the compiler keeps in registers.
  const Call c = call;
  const VoiceConstants k = constants;
  const BentFrequency bent = pitch;
  Osc osc = progress.osc;
  VoiceState st = progress.st;
  int16_t* out = k.buffer + progress.i;
  int16_t* const end = k.buffer + k.count;
  RunEnd result = RunEnd::kBlock;
  if (std::bit_cast<uint64_t>(st.lifeLeft) == k.fullLevel) {
    const double e = Envelope(k, st.lifeLeft);
    for (;;) {
      if (out == end) goto done;
      if (!SamePitch<Modulated>(c, bent, st.o.counter)) {
        result = RunEnd::kPitch;
        goto done;
      }
      Mix<Filter>(c, k, st, e, *out++, osc.Sample(st.o, st.o.counter));
      if (k.gate->load(kRelaxed) == 0) break;
      st.sweepPhase = st.sweepPhase + k.sweepStep;
    }
    st.lifeLeft = st.lifeLeft - kInvRate;
    if (st.lifeLeft < 0.0) {
      result = RunEnd::kVoice;
      goto done;
    }
  }
  while (out != end) {
    if (!SamePitch<Modulated>(c, bent, st.o.counter)) {
      result = RunEnd::kPitch;
      break;
    }
    const double s = osc.Sample(st.o, st.o.counter);
    Mix<Filter>(c, k, st, Envelope(k, st.lifeLeft), *out++, s);
    if (!StepEnvelope(k, st)) {
      result = RunEnd::kVoice;
      break;
    }
    if (std::bit_cast<uint64_t>(st.lifeLeft) == k.fullLevel) {
      result = RunEnd::kFullLevel;
      break;
    }
  }
done:
  progress = {osc, st, static_cast<uint32_t>(out - k.buffer)};
  return result;
}

// Returns the oscillator as the call leaves it.
template <typename Osc>
Osc RenderSamples(int16_t* buffer, uint32_t count, Voice& v, const Call& call, Osc oscillator) {
  Call c = call;  // a local copy, which the compiler keeps in registers
  const double lifeTotal = v.lifeTotal;
  const std::atomic<int32_t> ownGate{v.gate};
  const VoiceConstants k{
      buffer,
      count,
      v.amp,
      lifeTotal,
      v.sweepRate * kInvRate,
      std::isfinite(lifeTotal) ? std::bit_cast<uint64_t>(lifeTotal) : ~std::bit_cast<uint64_t>(lifeTotal),
      c.A,
      c.B,
      c.level ? c.level : &kFullChannelLevel,
      c.liveGate ? c.liveGate : &ownGate};
  Progress<Osc> r{oscillator,
                  {{v.counter, v.phase, v.holdValue}, v.lifeLeft, v.sweepPhase, v.resoY, v.resoV},
                  v.startOffset < 0 ? 0u : static_cast<uint32_t>(v.startOffset)};
  Osc& osc = r.osc;
  VoiceState& st = r.st;
  const double freq = v.freq;
  uint64_t tunedTo = kNoFrequency;

  // Samples alternate between Pitch and runs at the same F, for as long as
  // SamePitch can tell that F has not changed.
  BentFrequency bent;
  bool ended = false;
  while (r.i < count) {
    double F;
    const bool callFree = Pitch(c, freq, bent, st.o.counter, F);
    if (std::bit_cast<uint64_t>(F) != tunedTo) {
      tunedTo = std::bit_cast<uint64_t>(F);
      osc.Retune(F);
    }
    const double s = osc.Sample(st.o, st.o.counter);
    if (c.filterOn)
      Mix<true>(c, k, st, Envelope(k, st.lifeLeft), buffer[r.i++], s);
    else
      Mix<false>(c, k, st, Envelope(k, st.lifeLeft), buffer[r.i++], s);
    if (!StepEnvelope(k, st)) {
      ended = true;
      break;
    }
    if (!callFree) continue;
    const bool modulated = bent.Modulated();
    RunEnd end;
    do {
      if (modulated)
        end = c.filterOn ? Run<true, true>(c, k, bent, r) : Run<true, false>(c, k, bent, r);
      else
        end = c.filterOn ? Run<false, true>(c, k, bent, r) : Run<false, false>(c, k, bent, r);
    } while (end == RunEnd::kFullLevel);
    if (end == RunEnd::kVoice) {
      ended = true;
      break;
    }
  }
  v.counter = st.o.counter;
  v.phase = st.o.phase;
  v.holdValue = st.o.holdValue;
  v.lifeLeft = st.lifeLeft;
  v.sweepPhase = st.sweepPhase;
  v.resoY = st.resoY;
  v.resoV = st.resoV;
  v.startOffset = 0;
  if (ended) v.active = 0;
  return osc;
}

#if defined(__x86_64__)
// The unison loop compiled for AVX, with the saw sum inlined into it.
[[gnu::target("avx"), gnu::flatten]] void RenderUnisonWithAvx(int16_t* buffer, uint32_t count, Voice& v, Call& c) {
  RenderSamples(buffer, count, v, c, UnisonOsc<true>{c.synth});
}

const bool kHasAvx = (__builtin_cpu_init(), __builtin_cpu_supports("avx"));
#endif

void RenderWithFilter(int16_t* buffer, uint32_t count, Voice& v, const RenderInputs& in,
                      const std::atomic<int32_t>* liveGate, VoiceFilter* blockFilter) {
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
  if (blockFilter != nullptr && blockFilter->known) {
    c.filterOn = blockFilter->on;
    c.A = blockFilter->A;
    c.B = blockFilter->B;
  } else {
    SetFilterCoefficients(c, v);
    if (blockFilter != nullptr) *blockFilter = {true, c.filterOn, c.A, c.B};
  }
  NoiseGenerator& noise = in.state.noise;
  const std::atomic<double>* const rectw = &syn.params.rectwFact;
  switch (v.mode) {
    case 0: RenderSamples(buffer, count, v, c, PhaseOsc<0>{rectw}); break;
    case 1: RenderSamples(buffer, count, v, c, PhaseOsc<1>{rectw}); break;
    case 2: RenderSamples(buffer, count, v, c, PhaseOsc<2>{rectw}); break;
    case 3: RenderSamples(buffer, count, v, c, PhaseOsc<3>{rectw}); break;
    case 4: RenderSamples(buffer, count, v, c, TriangleOsc{}); break;
    case 5: noise = RenderSamples(buffer, count, v, c, NoiseOsc{noise}).noise; break;
    case 6: RenderSamples(buffer, count, v, c, PhaseOsc<6>{rectw}); break;
    case 7: RenderSamples(buffer, count, v, c, OrganAOsc{}); break;
    case 8: RenderSamples(buffer, count, v, c, OrganBOsc{}); break;
    case 9:
#if defined(__x86_64__)
      if (kHasAvx) {
        RenderUnisonWithAvx(buffer, count, v, c);
        break;
      }
#endif
      RenderSamples(buffer, count, v, c, UnisonOsc<false>{syn});
      break;
    case 10: RenderSamples(buffer, count, v, c, SpikeOsc{}); break;
    case 11: RenderSamples(buffer, count, v, c, PhaseOsc<11>{rectw}); break;
    case 12: RenderSamples(buffer, count, v, c, HalfSawOsc{}); break;
    case 13: noise = RenderSamples(buffer, count, v, c, HoldNoiseOsc{noise}).noise; break;
    case 14: RenderSamples(buffer, count, v, c, FallingSineOsc{}); break;
    default: RenderSamples(buffer, count, v, c, SilentOsc{}); break;
  }
}

}  // namespace

void RenderVoice(int16_t* buffer, uint32_t count, Voice& v, const RenderInputs& in,
                 const std::atomic<int32_t>* liveGate) {
  RenderWithFilter(buffer, count, v, in, liveGate, nullptr);
}

void RenderVoice(int16_t* buffer, uint32_t count, Voice& v, const RenderInputs& in,
                 const std::atomic<int32_t>* liveGate, VoiceFilter& blockFilter) {
  RenderWithFilter(buffer, count, v, in, liveGate, &blockFilter);
}

}  // namespace tavolin

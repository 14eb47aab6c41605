#include "tests/synth/ReferenceRenderVoice.h"
// Straight from the formulas: one power per pitch factor on every sample.

#include <cmath>

#include "synth/RenderNumerics.h"

namespace tavolin {
namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
double PlainFrac(double x) { return x - std::trunc(x); }
}  // namespace

void ReferenceRenderVoice(int16_t* buffer, uint32_t count, Voice& v, const RenderInputs& in,
                          const std::atomic<int32_t>* liveGate) {
  const Synth& syn = in.synth;
  const SynthParams& p = syn.params;
  const bool reso = syn.switches.VoiceResoOn.load(kRelaxed) != 0;
  double A = 0.0, B = 0.0;
  if (reso) {
    double x = v.sweepPhase;
    if (syn.switches.TimedResoOn.load(kRelaxed) != 0)
      x = static_cast<double>(in.clock.Milliseconds()) * (0.001 / p.LPFTimedReso.load(kRelaxed));
    const double fc =
        p.LPFResoCut.load(kRelaxed) + p.LPFResoSndW.load(kRelaxed) * (1.0 - std::cos(kSweepTwoPi * x)) * 0.5;
    const double w = fc * kRadPerHz;
    const double r = 1.0 - w / (w + 2.0 * (0.5 / (w + 1.0) + p.LPFResoAmp.load(kRelaxed)) - 2.0);
    A = r * r;
    B = 1.0 + r * r - 2.0 * r * std::cos(w);
  }
  const bool live = v.channel == LiveChannel || v.channel < 0 || v.channel >= kMidiChannels;
  const uint32_t start = v.startOffset < 0 ? 0u : static_cast<uint32_t>(v.startOffset);
  for (uint32_t i = start; i < count; ++i) {
    const uint32_t n = v.counter;
    const double bend = live ? syn.PitchBend.load(kRelaxed) : syn.ChannelBend[v.channel].load(kRelaxed);
    double F = v.freq * std::pow(kSemi, bend) * std::pow(kSemi, syn.PitchShift.load(kRelaxed));
    if (syn.switches.ArpeggioOn.load(kRelaxed) != 0) {
      const int32_t j = TruncToInt32(static_cast<double>(n) * kInvRate / p.ArpeggioRate.load(kRelaxed));
      const int32_t step = ((j % 3) + 3) % 3;
      int32_t k = 0;
      if (step == 1) k = TruncToInt32(p.ArpeggioS1.load(kRelaxed));
      if (step == 2) k = TruncToInt32(p.ArpeggioS2.load(kRelaxed));
      F = F * std::pow(kSemi, static_cast<double>(k));
    }
    const double modPower = p.ModPower.load(kRelaxed);
    if (modPower >= kMinModPower) {
      const double t = static_cast<double>(in.clock.Milliseconds());
      F = F *
          std::pow(kSemi, std::sin(t * p.ModFreq.load(kRelaxed) * kTwoPiSPerMs) * p.ModFact.load(kRelaxed) * modPower);
    }
    const double P = 44100.0 / F;
    double s = 0.0;
    switch (v.mode) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 6:
      case 11: {
        const double f = PlainFrac(v.phase / 2.0);
        if (v.mode == 0) s = f < 0.5 ? -0.5 : 0.5;
        if (v.mode == 1) s = f < 0.25 ? -0.75 : 0.25;
        if (v.mode == 2) s = f < 0.125 ? -0.875 : 0.125;
        if (v.mode == 3) s = f - 0.5;
        if (v.mode == 6) s = 0.5 * std::sin(f * kTwoPiS);
        if (v.mode == 11) {
          const double w = 1.0 / p.rectwFact.load(kRelaxed);
          s = f < w ? w - 1.0 : w;
        }
        v.phase = v.phase + 2.0 / P;
        v.counter = n + 1;
        break;
      }
      case 4: {
        const double a = n / P * 0.5;
        const double b = n / (44100.0 / (2.0 * F)) * 0.5;
        s = PlainFrac(a) < 0.5 ? PlainFrac(b) - 0.5 : 0.5 - PlainFrac(b);
        v.counter = n + 2;
        break;
      }
      case 5: s = in.state.noise.Next() / 32767.0 - 0.5; break;
      case 7: {
        const double P5 = 44100.0 / (5.0 * F), P3 = 44100.0 / (3.0 * F);
        s = 0.25 * std::sin(PlainFrac(n / P * 0.5) * kTwoPiS) +
            (1.0 / 12.0) * std::sin(PlainFrac(n / P5 * 0.5) * kTwoPiS) +
            (1.0 / 6.0) * std::sin(PlainFrac(n / P3 * 0.5) * kTwoPiS);
        v.counter = n + 1;
        break;
      }
      case 8: {
        const double P2 = 44100.0 / (2.0 * F), P3 = 44100.0 / (3.0 * F);
        s = (1.0 / 6.0) * std::sin(PlainFrac(n / P2 * 0.5) * kTwoPiS) +
            0.25 * std::sin(PlainFrac(n / P * 0.5) * kTwoPiS) +
            (1.0 / 12.0) * std::sin(PlainFrac(n / P3 * 0.5) * kTwoPiS);
        v.counter = n + 1;
        break;
      }
      case 9:
        for (int k = 0; k < kUnisonSaws; ++k) {
          const uint32_t m = n + static_cast<uint32_t>(syn.UnisonOffset[k].load(kRelaxed));
          s += 0.5 * (PlainFrac(m / (P * syn.UnisonRatio[k].load(kRelaxed)) * 0.5) - 0.5);
        }
        v.counter = n + 1;
        break;
      case 10: {
        const double u = PlainFrac(n / P * 0.5) - 0.5;
        s = u >= kSpikeLevel ? u : 0.0;
        v.counter = n + 2;
        break;
      }
      case 12: {
        const double Q = 44100.0 / (2.0 * F);
        if (PlainFrac(n / Q * 0.5) < 0.5) {
          s = PlainFrac(static_cast<uint32_t>(n + 2) / Q * 0.5) - 0.5;
          v.counter = n + 4;
        } else {
          s = 0.5;
          v.counter = n + 2;
        }
        break;
      }
      case 13:
        if (n > P) {
          v.counter = 0;
          v.holdValue = in.state.noise.Next() / 32767.0 - 0.5;
        } else {
          v.counter = n + 1;
        }
        s = v.holdValue;
        break;
      case 14: {
        const uint32_t q = n / 50;
        if (!(q >= F)) {
          s = 0.5 * std::sin(PlainFrac(v.phase / 2.0) * kTwoPiS);
          v.counter = n + 1;
          v.phase = v.phase + 2.0 * (F - q) / 44100.0;
        }
        break;
      }
      default: break;
    }
    double g = v.lifeTotal == 0.0 ? 1.0 : v.lifeLeft / v.lifeTotal;
    if (!live) g = g * syn.ChannelLevel[v.channel].load(kRelaxed);
    g = g * v.amp * p.MasterVol.load(kRelaxed);
    s = s * g;
    if (reso) {
      const double x = WrapToInt16(TruncToInt64(s));
      const double w = (x - v.resoY) * B + v.resoV;
      v.resoY = v.resoY + w;
      v.resoV = A * w;
      s = ClampToSampleRange(v.resoY);
    }
    buffer[i] = SaturateToSample(buffer[i] + s);
    const int32_t gate = liveGate ? liveGate->load(kRelaxed) : v.gate;
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

}  // namespace tavolin

#pragma once
// The vocoder file parameter's messages, as hosts and LV2's patch
// vocabulary have them: a patch:Set of urn:tavolin:synth#vocoder to a path
// (an atom:Object, or an atom:Blank from older hosts), a patch:Get of it or
// of every parameter, and the patch:Set the plugin answers with. Reading
// and writing touch only the host's buffers: fit for the audio thread.

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/urid/urid.h>

#include <cstdint>

namespace tavolin {

inline constexpr const char* kVocoderParameter = "urn:tavolin:synth#vocoder";

// The longest path the worker takes, its terminating zero included.
inline constexpr uint32_t kMaxPathBytes = 4096;

class PatchMessages {
 public:
  explicit PatchMessages(LV2_URID_Map& map);

  bool IsObject(const LV2_Atom& atom) const;

  enum class Asks { kNothing, kSet, kGet };
  struct Request {
    Asks asks = Asks::kNothing;
    const LV2_Atom* path = nullptr;  // a kSet's value, of type atom:Path
  };
  // What an object event asks of the parameter; kNothing for what is not ours.
  Request Read(const LV2_Atom& object) const;

  // A patch:Set of the parameter to `path` ("": none) at frame 0 of the
  // forge's sequence. False when it does not fit.
  bool WriteSet(LV2_Atom_Forge& forge, const char* path, uint32_t length) const;

 private:
  LV2_URID parameter_;
  LV2_URID object_;
  LV2_URID blank_;
  LV2_URID path_;
  LV2_URID urid_;
  LV2_URID set_;
  LV2_URID get_;
  LV2_URID property_;
  LV2_URID value_;
};

}  // namespace tavolin

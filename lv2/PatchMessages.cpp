#include "lv2/PatchMessages.h"

#include <lv2/atom/util.h>
#include <lv2/patch/patch.h>

namespace tavolin {

PatchMessages::PatchMessages(LV2_URID_Map& map)
    : parameter_(map.map(map.handle, kVocoderParameter)),
      object_(map.map(map.handle, LV2_ATOM__Object)),
      blank_(map.map(map.handle, LV2_ATOM__Blank)),
      path_(map.map(map.handle, LV2_ATOM__Path)),
      urid_(map.map(map.handle, LV2_ATOM__URID)),
      set_(map.map(map.handle, LV2_PATCH__Set)),
      get_(map.map(map.handle, LV2_PATCH__Get)),
      property_(map.map(map.handle, LV2_PATCH__property)),
      value_(map.map(map.handle, LV2_PATCH__value)) {}

bool PatchMessages::IsObject(const LV2_Atom& atom) const {
  return (atom.type == object_ || atom.type == blank_) && atom.size >= sizeof(LV2_Atom_Object_Body);
}

PatchMessages::Request PatchMessages::Read(const LV2_Atom& atom) const {
  if (!IsObject(atom)) return {};
  const auto& object = reinterpret_cast<const LV2_Atom_Object&>(atom);
  const LV2_Atom* property = nullptr;
  const LV2_Atom* value = nullptr;
  lv2_atom_object_get(&object, property_, &property, value_, &value, 0);
  const bool named = property != nullptr && property->type == urid_ && property->size == sizeof(LV2_URID);
  const bool ours = named && reinterpret_cast<const LV2_Atom_URID*>(property)->body == parameter_;
  // A Get without a property asks for every parameter, ours among them.
  if (object.body.otype == get_ && (property == nullptr || ours)) return {Asks::kGet, nullptr};
  if (object.body.otype == set_ && ours && value != nullptr && value->type == path_) return {Asks::kSet, value};
  return {};
}

bool PatchMessages::WriteSet(LV2_Atom_Forge& forge, const char* path, uint32_t length) const {
  // What a message that does not fit wrote of itself is taken back: the
  // sequence holds whole messages only.
  const uint32_t offset = forge.offset;
  LV2_Atom* sequence = forge.stack != nullptr ? lv2_atom_forge_deref(&forge, forge.stack->ref) : nullptr;
  const uint32_t size = sequence != nullptr ? sequence->size : 0;
  LV2_Atom_Forge_Frame frame;
  bool written = lv2_atom_forge_frame_time(&forge, 0) != 0 && lv2_atom_forge_object(&forge, &frame, 0, set_) != 0;
  if (written) {
    written = lv2_atom_forge_key(&forge, property_) != 0 && lv2_atom_forge_urid(&forge, parameter_) != 0 &&
              lv2_atom_forge_key(&forge, value_) != 0 && lv2_atom_forge_path(&forge, path, length) != 0;
    lv2_atom_forge_pop(&forge, &frame);
  }
  if (!written) {
    forge.offset = offset;
    if (sequence != nullptr) sequence->size = size;
  }
  return written;
}

}  // namespace tavolin

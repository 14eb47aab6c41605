#include "lv2/TransportPosition.h"

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

namespace tavolin {

TransportReader::TransportReader(LV2_URID_Map& map)
    : object_(map.map(map.handle, LV2_ATOM__Object)),
      blank_(map.map(map.handle, LV2_ATOM__Blank)),
      position_(map.map(map.handle, LV2_TIME__Position)),
      frame_(map.map(map.handle, LV2_TIME__frame)),
      speed_(map.map(map.handle, LV2_TIME__speed)),
      long_(map.map(map.handle, LV2_ATOM__Long)),
      float_(map.map(map.handle, LV2_ATOM__Float)),
      double_(map.map(map.handle, LV2_ATOM__Double)) {}

double TransportReader::NumberOf(const LV2_Atom* atom, double otherwise) const {
  if (atom == nullptr) return otherwise;
  if (atom->type == long_ && atom->size == sizeof(int64_t))
    return static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
  if (atom->type == float_ && atom->size == sizeof(float)) return reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
  if (atom->type == double_ && atom->size == sizeof(double))
    return reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
  return otherwise;
}

std::optional<TransportPosition> TransportReader::Read(const LV2_Atom& atom) const {
  const auto& object = reinterpret_cast<const LV2_Atom_Object&>(atom);
  if ((atom.type != object_ && atom.type != blank_) || atom.size < sizeof object.body || object.body.otype != position_)
    return std::nullopt;
  const LV2_Atom* frame = nullptr;
  const LV2_Atom* speed = nullptr;
  lv2_atom_object_get(&object, frame_, &frame, speed_, &speed, 0);
  const double at = NumberOf(frame, -1.0);
  if (at < 0) return std::nullopt;
  return TransportPosition{static_cast<int64_t>(at), NumberOf(speed, 0.0)};
}

}  // namespace tavolin

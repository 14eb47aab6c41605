#include "lv2/ParameterPort.h"

#include <algorithm>
#include <cstring>

namespace tavolin {

ParameterPort::ParameterPort(LV2_URID_Map& map, LV2_Log_Logger& logger, const LV2_Worker_Schedule* schedule)
    : messages_(map), logger_(logger), schedule_(schedule) {
  lv2_atom_forge_init(&forge_, &map);
}

void ParameterPort::Begin() {
  if (notify_ == nullptr) return;
  // The host says the buffer's capacity in the size of what it connected.
  lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<uint8_t*>(notify_), notify_->atom.size);
  lv2_atom_forge_sequence_head(&forge_, &sequence_, 0);
}

void ParameterPort::End() {
  if (notify_ == nullptr) return;
  // What does not fit now is told in a later call.
  if (due_ && messages_.WriteSet(forge_, path_.data(), pathLength_)) due_ = false;
  lv2_atom_forge_pop(&forge_, &sequence_);
}

void ParameterPort::OnObject(const LV2_Atom& object) {
  const PatchMessages::Request request = messages_.Read(object);
  if (request.asks == PatchMessages::Asks::kGet) due_ = true;
  if (request.asks == PatchMessages::Asks::kSet) ScheduleLoad(*request.path);
}

void ParameterPort::Announce(const char* path, size_t size) {
  const size_t length = strnlen(path, std::min<size_t>(size, kMaxPathBytes - 1));
  std::memcpy(path_.data(), path, length);
  path_[length] = '\0';
  pathLength_ = static_cast<uint32_t>(length);
  due_ = true;
}

// Read in the host's worker, never here. The audio thread may only trace
// in the host's log.
void ParameterPort::ScheduleLoad(const LV2_Atom& path) {
  const auto* text = static_cast<const char*>(LV2_ATOM_BODY_CONST(&path));
  if (path.size > kMaxPathBytes) {
    lv2_log_trace(&logger_, "tavolin: a vocoder file's path of %u bytes is refused: the most is %u\n", path.size - 1,
                  kMaxPathBytes - 1);
  } else if (schedule_ == nullptr ||
             schedule_->schedule_work(schedule_->handle, path.size, text) != LV2_WORKER_SUCCESS) {
    lv2_log_trace(&logger_, "tavolin: the host's worker did not take the vocoder file %.*s\n",
                  static_cast<int>(strnlen(text, path.size)), text);
  }
}

}  // namespace tavolin

// An LV2 instrument of scripts/daw-check that plays nothing and records what
// the host puts on its MIDI input: each time:Position object (the cycle it
// came in, the cycle's length, the event's frame and the object's
// properties), each note-on and each activation. Its latency port reports
// DAW_CHECK_PROBE_LATENCY frames, as an instrument with a block delay would.
// run() only copies into a fixed table; the table is written out as text to
// the file named by DAW_CHECK_POSITION_LOG whenever the host deactivates or
// deletes the plugin (the last write has it all: Ardour 7.3 may crash before
// it deletes the plugin).

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kMaxRecords = 4096, kMaxProperties = 16, kPosition = -1, kActivation = -2 };

typedef struct {
  unsigned long long cycle;
  unsigned frames;
  long long time;
  unsigned count;
  int note;  // a note-on's key, kPosition or kActivation

  LV2_URID keys[kMaxProperties];
  double values[kMaxProperties];
} Record;

typedef struct {
  const LV2_Atom_Sequence* input;
  float* output;
  float* latency_port;
  float latency;
  LV2_URID_Unmap* unmap;
  LV2_URID object, blank, position, midi_event, atom_long, atom_int, atom_float, atom_double;
  char log[1024];
  unsigned long long cycles;
  unsigned long long activations;
  unsigned count;
  unsigned dropped;
  Record records[kMaxRecords];
} Probe;

static LV2_Handle instantiate(const LV2_Descriptor* descriptor, double rate, const char* path,
                              const LV2_Feature* const* features) {
  (void)descriptor;
  (void)rate;
  (void)path;
  LV2_URID_Map* map = NULL;
  LV2_URID_Unmap* unmap = NULL;
  for (int i = 0; features[i]; ++i) {
    if (!strcmp(features[i]->URI, LV2_URID__map)) map = features[i]->data;
    if (!strcmp(features[i]->URI, LV2_URID__unmap)) unmap = features[i]->data;
  }
  const char* log = getenv("DAW_CHECK_POSITION_LOG");
  if (!map || !log) return NULL;
  Probe* probe = calloc(1, sizeof(Probe));
  if (!probe) return NULL;
  probe->unmap = unmap;
  probe->object = map->map(map->handle, LV2_ATOM__Object);
  probe->blank = map->map(map->handle, LV2_ATOM__Blank);
  probe->position = map->map(map->handle, LV2_TIME__Position);
  probe->midi_event = map->map(map->handle, LV2_MIDI__MidiEvent);
  probe->atom_long = map->map(map->handle, LV2_ATOM__Long);
  probe->atom_int = map->map(map->handle, LV2_ATOM__Int);
  probe->atom_float = map->map(map->handle, LV2_ATOM__Float);
  probe->atom_double = map->map(map->handle, LV2_ATOM__Double);
  const char* latency = getenv("DAW_CHECK_PROBE_LATENCY");
  probe->latency = latency ? (float)atof(latency) : 0.0f;
  snprintf(probe->log, sizeof probe->log, "%s", log);
  return probe;
}

static void connect_port(LV2_Handle handle, uint32_t port, void* data) {
  Probe* probe = handle;
  if (port == 0) probe->input = data;
  if (port == 1) probe->output = data;
  if (port == 2) probe->latency_port = data;
}

static Record* add_record(Probe* probe, uint32_t frames, long long time, int note) {
  if (probe->count == kMaxRecords) {
    ++probe->dropped;
    return NULL;
  }
  Record* record = &probe->records[probe->count++];
  record->cycle = probe->cycles;
  record->frames = frames;
  record->time = time;
  record->count = 0;
  record->note = note;
  return record;
}

static void activate(LV2_Handle handle) {
  Probe* probe = handle;
  ++probe->activations;
  add_record(probe, 0, 0, kActivation);
}

static double number(const Probe* probe, const LV2_Atom* atom) {
  if (atom->type == probe->atom_long) return (double)((const LV2_Atom_Long*)atom)->body;
  if (atom->type == probe->atom_int) return ((const LV2_Atom_Int*)atom)->body;
  if (atom->type == probe->atom_float) return ((const LV2_Atom_Float*)atom)->body;
  if (atom->type == probe->atom_double) return ((const LV2_Atom_Double*)atom)->body;
  return 0.0 / 0.0;
}

static void run(LV2_Handle handle, uint32_t frames) {
  Probe* probe = handle;
  memset(probe->output, 0, frames * sizeof(float));
  if (probe->latency_port) *probe->latency_port = probe->latency;
  LV2_ATOM_SEQUENCE_FOREACH(probe->input, event) {
    const LV2_Atom_Object* object = (const LV2_Atom_Object*)&event->body;
    const uint8_t* midi = (const uint8_t*)LV2_ATOM_BODY_CONST(&event->body);
    const int note_on =
        event->body.type == probe->midi_event && event->body.size == 3 && (midi[0] & 0xf0) == 0x90 && midi[2] != 0;
    const int position = (object->atom.type == probe->object || object->atom.type == probe->blank) &&
                         object->body.otype == probe->position;
    if (!note_on && !position) continue;
    Record* record = add_record(probe, frames, event->time.frames, note_on ? midi[1] : kPosition);
    if (!record || note_on) continue;
    LV2_ATOM_OBJECT_FOREACH(object, property) {
      if (record->count == kMaxProperties) break;
      record->keys[record->count] = property->key;
      record->values[record->count++] = number(probe, &property->value);
    }
  }
  ++probe->cycles;
}

static void write_log(const Probe* probe) {
  FILE* log = fopen(probe->log, "w");
  if (log) {
    fprintf(log, "instance: %llu cycles, %llu activations, %u records, %u not kept\n", probe->cycles,
            probe->activations, probe->count, probe->dropped);
    for (unsigned i = 0; i < probe->count; ++i) {
      const Record* record = &probe->records[i];
      if (record->note == kActivation) {
        fprintf(log, "before cycle %llu: activate\n", record->cycle);
        continue;
      }
      fprintf(log, "cycle %llu (%u frames) at %lld: ", record->cycle, record->frames, record->time);
      fprintf(log, record->note == kPosition ? "position" : "note-on %d", record->note);
      for (unsigned k = 0; k < record->count; ++k) {
        const char* key = probe->unmap ? probe->unmap->unmap(probe->unmap->handle, record->keys[k]) : NULL;
        if (!key) key = "?";
        if (!strncmp(key, LV2_TIME_PREFIX, strlen(LV2_TIME_PREFIX))) key += strlen(LV2_TIME_PREFIX);
        fprintf(log, " %s=%.10g", key, record->values[k]);
      }
      fputc('\n', log);
    }
    fclose(log);
  }
}

static void deactivate(LV2_Handle handle) { write_log(handle); }

static void cleanup(LV2_Handle handle) {
  write_log(handle);
  free(handle);
}

static const LV2_Descriptor descriptor = {
    "urn:tavolin:daw-check:position-probe", instantiate, connect_port, activate, run, deactivate, cleanup, NULL};

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) { return index == 0 ? &descriptor : NULL; }

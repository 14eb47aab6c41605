// Writes the plugin's description, tavolin.ttl, with a control port for
// each entry of the control table, so that the table is the only list of
// them. Run by the build.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "lv2/ControlPorts.h"

namespace tavolin {
namespace {

constexpr char kHead[] = R"(@prefix atom: <http://lv2plug.in/ns/ext/atom#> .
@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .
@prefix doap: <http://usefulinc.com/ns/doap#> .
@prefix foaf: <http://xmlns.com/foaf/0.1/> .
@prefix log: <http://lv2plug.in/ns/ext/log#> .
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix midi: <http://lv2plug.in/ns/ext/midi#> .
@prefix opts: <http://lv2plug.in/ns/ext/options#> .
@prefix patch: <http://lv2plug.in/ns/ext/patch#> .
@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .
@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
@prefix rsz: <http://lv2plug.in/ns/ext/resize-port#> .
@prefix state: <http://lv2plug.in/ns/ext/state#> .
@prefix time: <http://lv2plug.in/ns/ext/time#> .
@prefix units: <http://lv2plug.in/ns/extensions/units#> .
@prefix urid: <http://lv2plug.in/ns/ext/urid#> .
@prefix work: <http://lv2plug.in/ns/ext/worker#> .

<urn:tavolin:synth#vocoder>
	a lv2:Parameter ;
	rdfs:label "Vocoder modulator" ;
	rdfs:comment "A WAVE file whose data chunk, read as 16-bit mono at 44100 Hz, the vocoder plays from its start." ;
	rdfs:range atom:Path .

<urn:tavolin:synth>
	a lv2:Plugin ,
		lv2:InstrumentPlugin ,
		doap:Project ;
	doap:name "Tavolin" ;
	doap:license <https://spdx.org/licenses/ISC> ;
	doap:maintainer [
		a foaf:Organization ;
		foaf:name "The Tavolin developers"
	] ;
		rdfs:comment "The Tavolin synthesizer: 128 voices, played by MIDI, rendered at 44100 Hz in blocks of 1024 samples on the host's timeline, at once or, with compensated timing, one block behind its input." ;
	lv2:requiredFeature urid:map ;
	lv2:optionalFeature lv2:hardRTCapable ,
		opts:options ,
		work:schedule ,
		log:log ;
	opts:supportedOption bufsz:maxBlockLength ;
	lv2:extensionData state:interface ,
		work:interface ;
	patch:writable <urn:tavolin:synth#vocoder> ;
	lv2:port [
		a lv2:InputPort ,
			atom:AtomPort ;
		atom:bufferType atom:Sequence ;
		atom:supports midi:MidiEvent ,
			patch:Message ,
			time:Position ;
		lv2:designation lv2:control ;
		lv2:index 0 ;
		lv2:symbol "midi_in" ;
		lv2:name "MIDI in"
	] , [
		a lv2:OutputPort ,
			lv2:AudioPort ;
		lv2:index 1 ;
		lv2:symbol "out" ;
		lv2:name "Out"
	] , [
		a lv2:OutputPort ,
			lv2:ControlPort ;
		lv2:index 2 ;
		lv2:symbol "latency" ;
		lv2:name "Latency" ;
		lv2:designation lv2:latency ;
		lv2:portProperty lv2:reportsLatency ,
			lv2:integer ;
		lv2:default 1024 ;
		lv2:minimum 0 ;
		lv2:maximum 16384
	] , [
		a lv2:OutputPort ,
			atom:AtomPort ;
		atom:bufferType atom:Sequence ;
		atom:supports patch:Message ;
		lv2:designation lv2:control ;
		lv2:index 3 ;
		lv2:symbol "notify" ;
		lv2:name "Notify" ;
		rsz:minimumSize 8192
	])";

// A float as Turtle reads it back to the same float.
std::string Number(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  std::string number = text;
  if (number.find_first_of(".e") == std::string::npos) number += ".0";
  return number;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

bool OnGrid(float value, const ControlPortDef& def) {
  const double steps = (static_cast<double>(value) - def.minimum) / def.step;
  return std::abs(steps - std::round(steps)) < 1e-3;
}

// A group's URI holds its place in the table, for hosts that order groups by URI.
std::string GroupUri(std::string_view symbol) {
  const auto groups = PortGroups();
  const auto place = std::find_if(groups.begin(), groups.end(), [&](const PortGroup& g) { return g.symbol == symbol; });
  char number[8];
  std::snprintf(number, sizeof number, "%02d", static_cast<int>(place - groups.begin()));
  return "<urn:tavolin:synth#group" + std::string(number) + "_" + std::string(symbol) + ">";
}

void WriteProperties(std::ostream& ttl, const ControlPortDef& def) {
  std::vector<std::string_view> properties;
  if (def.toggled) properties.emplace_back("lv2:toggled");
  if (def.integer) properties.emplace_back("lv2:integer");
  if (!def.choices.empty()) properties.emplace_back("lv2:enumeration");
  if (def.logarithmic) properties.emplace_back("pprops:logarithmic");
  for (size_t i = 0; i < properties.size(); ++i) {
    ttl << (i == 0 ? " ;\n\t\tlv2:portProperty " : " ,\n\t\t\t") << properties[i];
  }
}

void WritePort(std::ostream& ttl, uint32_t index, const ControlPortDef& def) {
  ttl << " , [\n\t\ta lv2:InputPort ,\n\t\t\tlv2:ControlPort ;\n";
  ttl << "\t\tlv2:index " << index << " ;\n";
  ttl << "\t\tlv2:symbol " << Quoted(def.symbol) << " ;\n";
  ttl << "\t\tlv2:name " << Quoted(def.name) << " ;\n";
  ttl << "\t\trdfs:comment " << Quoted(def.comment) << " ;\n";
  ttl << "\t\tpg:group " << GroupUri(def.group) << " ;\n";
  ttl << "\t\tlv2:default " << Number(def.defaultValue) << " ;\n";
  ttl << "\t\tlv2:minimum " << Number(def.minimum) << " ;\n";
  ttl << "\t\tlv2:maximum " << Number(def.maximum);
  if (!def.unit.empty()) ttl << " ;\n\t\tunits:unit <" << def.unit << ">";
  WriteProperties(ttl, def);
  for (size_t value = 0; value < def.choices.size(); ++value) {
    ttl << (value == 0 ? " ;\n\t\tlv2:scalePoint [\n" : " , [\n") << "\t\t\trdfs:label " << Quoted(def.choices[value])
        << " ;\n\t\t\trdf:value " << value << "\n\t\t]";
  }
  // The window's step, as the number of values from end to end, where the
  // default lies on that grid (a host may keep to it). A logarithmic
  // control's even steps would be a host's own.
  if (def.step > 0 && !def.logarithmic && OnGrid(def.maximum, def) && OnGrid(def.defaultValue, def)) {
    const double steps = std::round((static_cast<double>(def.maximum) - def.minimum) / def.step);
    ttl << " ;\n\t\tpprops:rangeSteps " << static_cast<long long>(steps) + 1;
  }
  ttl << "\n\t]";
}

// The groups and units the ports refer to, after the plugin's description.
void WriteGroupsAndUnits(std::ostream& ttl) {
  for (const PortGroup& group : PortGroups()) {
    ttl << "\n"
        << GroupUri(group.symbol) << "\n\ta pg:Group ;\n\tlv2:symbol " << Quoted(std::string(group.symbol))
        << " ;\n\tlv2:name " << Quoted(std::string(group.label)) << " ;\n\trdfs:label "
        << Quoted(std::string(group.label)) << " .\n";
  }
  for (const CustomUnit& unit : CustomUnits()) {
    ttl << "\n<" << unit.uri << ">\n\ta units:Unit ;\n\trdfs:label " << Quoted(std::string(unit.label))
        << " ;\n\tunits:symbol " << Quoted(std::string(unit.symbol)) << " ;\n\tunits:render "
        << Quoted(std::string(unit.render)) << " .\n";
  }
}

}  // namespace
}  // namespace tavolin

int main(int argc, char** argv) {
  using namespace tavolin;
  if (argc != 2) {
    std::cerr << "usage: tavolin-lv2-turtle OUT.ttl\n";
    return 2;
  }
  std::ostringstream ttl;
  // The port groups' prefix, which the head does not declare.
  ttl << "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n" << kHead;
  uint32_t index = kFirstControlPort;
  for (const ControlPortDef& def : ControlPortDefs()) WritePort(ttl, index++, def);
  ttl << " .\n";
  WriteGroupsAndUnits(ttl);
  std::ofstream out(argv[1]);
  out << ttl.str();
  out.close();
  if (!out) {
    std::cerr << "tavolin-lv2-turtle: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}

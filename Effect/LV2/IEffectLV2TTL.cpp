#include "IEffectLV2TTL.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "IEffectLV2.h"

namespace umbra {

namespace {

const char* kPrefixes =
  "@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .\n"
  "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
  "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
  "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
  "@prefix ia:    <http://lv2plug.in/ns/ext/instance-access> .\n"
  "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
  "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
  "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
  "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
  "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
  "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
  "@prefix time:  <http://lv2plug.in/ns/ext/time#> .\n"
  "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
  "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
  "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n"
  "\n";

const char* kGeneratedNote = "# Written by the build from the plug-in's own tables; do not edit.\n\n";

// A Turtle number: integers as integers, anything else in its shortest exact decimal form.
std::string Number(double value)
{
  if (value == static_cast<double>(static_cast<long long>(value)) && value > -1e15 && value < 1e15)
    return std::to_string(static_cast<long long>(value));
  char text[64];
  const auto result = std::to_chars(text, text + sizeof(text), value);
  std::string s(text, result.ptr);
  if (s.find_first_of(".e") == std::string::npos)
    s += ".0";
  return s;
}

std::string Quoted(const std::string& text)
{
  std::string out = "\"";
  for (char c : text)
  {
    if (c == '"' || c == '\\')
      out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Uri(const std::string& uri)
{
  return "<" + uri + ">";
}

// The unit of a parameter, from its label.
const char* UnitOf(const IParam& param)
{
  const std::string label = param.GetCustomLabel();
  if (label == "%")
    return "units:pc";
  if (label == "cents")
    return "units:cent";
  if (label == "dB")
    return "units:db";
  if (label == "Hz")
    return "units:hz";
  if (label == "ms")
    return "units:ms";
  if (label == "s")
    return "units:s";
  return nullptr;
}

void WriteParamPort(std::ostream& out, const IParam& param, int index, const char* symbol)
{
  out << "  [\n"
      << "    a lv2:InputPort , lv2:ControlPort ;\n"
      << "    lv2:index " << index << " ;\n"
      << "    lv2:symbol " << Quoted(symbol) << " ;\n"
      << "    lv2:name " << Quoted(param.GetName()) << " ;\n"
      << "    lv2:default " << Number(param.Value()) << " ;\n"
      << "    lv2:minimum " << Number(param.GetMin()) << " ;\n"
      << "    lv2:maximum " << Number(param.GetMax()) << " ;\n";
  const bool enumerated = param.Type() == IParam::kTypeEnum || param.NDisplayTexts() > 0;
  if (param.Type() == IParam::kTypeEnum || param.Type() == IParam::kTypeInt ||
      param.Type() == IParam::kTypeBool)
  {
    out << "    lv2:portProperty lv2:integer";
    if (param.Type() == IParam::kTypeBool)
      out << " , lv2:toggled";
    if (enumerated)
      out << " , lv2:enumeration";
    out << " ;\n";
  }
  if (param.NDisplayTexts() > 0)
  {
    out << "    lv2:scalePoint";
    for (int t = 0; t < param.NDisplayTexts(); ++t)
    {
      double value = 0.0;
      const char* text = param.GetDisplayTextAtIdx(t, &value);
      out << (t ? " ,\n      " : " ") << "[ rdfs:label " << Quoted(text) << " ; rdf:value "
          << Number(value) << " ]";
    }
    out << " ;\n";
  }
  if (const char* unit = UnitOf(param))
    out << "    units:unit " << unit << " ;\n";
  out << "  ]";
}

void WriteControlPort(std::ostream& out, bool input, int index, const char* symbol,
                      const char* name, const std::string& extra)
{
  out << "  [\n"
      << "    a " << (input ? "lv2:InputPort" : "lv2:OutputPort") << " , lv2:ControlPort ;\n"
      << "    lv2:index " << index << " ;\n"
      << "    lv2:symbol " << Quoted(symbol) << " ;\n"
      << "    lv2:name " << Quoted(name) << " ;\n"
      << extra << "  ]";
}

void WriteAudioPort(std::ostream& out, bool input, int index, const char* symbol, const char* name)
{
  out << "  [\n"
      << "    a " << (input ? "lv2:InputPort" : "lv2:OutputPort") << " , lv2:AudioPort ;\n"
      << "    lv2:index " << index << " ;\n"
      << "    lv2:symbol " << Quoted(symbol) << " ;\n"
      << "    lv2:name " << Quoted(name) << " ;\n"
      << "  ]";
}

std::string Manifest(const IEffectLV2& plugin, const LV2BundleDescription& d)
{
  std::ostringstream out;
  out << kGeneratedNote << kPrefixes;
  out << Uri(d.pluginURI) << "\n"
      << "  a lv2:Plugin , " << d.pluginClass << " ;\n"
      << "  lv2:binary " << Uri(d.dspBinary) << " ;\n"
      << "  rdfs:seeAlso " << Uri(d.pluginFile) << " .\n\n";

  for (int i = 0; i < plugin.PresetCount(); ++i)
  {
    out << Uri(d.presetURIPrefix + std::to_string(i)) << "\n"
        << "  a pset:Preset ;\n"
        << "  lv2:appliesTo " << Uri(d.pluginURI) << " ;\n"
        << "  rdfs:label " << Quoted(plugin.GetPresetName(i)) << " ;\n"
        << "  rdfs:seeAlso " << Uri(d.presetsFile) << " .\n\n";
  }

  // The editor's shared object, when the build makes one.
  if (!d.uiBinary.empty())
  {
    out << Uri(d.uiURI) << "\n"
        << "  a ui:X11UI ;\n"
        << "  ui:binary " << Uri(d.uiBinary) << " ;\n"
        << "  rdfs:seeAlso " << Uri(d.pluginFile) << " .\n";
  }
  return out.str();
}

std::string PluginDescription(IEffectLV2& plugin, const LV2BundleDescription& d)
{
  using namespace lv2;
  std::ostringstream out;
  out << kGeneratedNote << kPrefixes;

  out << Uri(d.projectURI) << "\n"
      << "  a doap:Project ;\n"
      << "  doap:name " << Quoted(d.projectName) << " ;\n";
  if (!d.homepage.empty())
    out << "  doap:homepage " << Uri(d.homepage) << " ;\n";
  out << "  doap:license " << Uri(d.licenceURI) << " ;\n"
      << "  doap:maintainer [ foaf:name " << Quoted(plugin.GetMfrName()) << " ] .\n\n";

  out << Uri(d.pluginURI) << "\n"
      << "  a lv2:Plugin , " << d.pluginClass << " ;\n"
      << "  doap:name " << Quoted(plugin.GetPluginName()) << " ;\n"
      << "  rdfs:comment \"A stereo spectral pitch-shifting reverb: a haunted formant pitch "
         "shifter with reverb-, delay- and chorus-like tails.\" ;\n"
      << "  doap:license " << Uri(d.licenceURI) << " ;\n"
      << "  lv2:project " << Uri(d.projectURI) << " ;\n"
      << "  lv2:minorVersion " << d.minorVersion << " ;\n"
      << "  lv2:microVersion " << d.microVersion << " ;\n"
      << "  lv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options ;\n"
      << "  opts:supportedOption bufsz:maxBlockLength ;\n"
      << "  lv2:extensionData state:interface ;\n";
  if (!d.uiBinary.empty())
    out << "  ui:ui " << Uri(d.uiURI) << " ;\n";
  out << "  lv2:port\n";

  for (int i = 0; i < std::min<int>(plugin.NParams(), kPortNumParams); ++i)
  {
    WriteParamPort(out, *plugin.GetParam(i), static_cast<int>(kPortFirstParam) + i, kParamSymbols[i]);
    out << " ,\n";
  }
  WriteAudioPort(out, true, kPortAudioInL, kPortSymbols[kPortAudioInL], "Left In");
  out << " ,\n";
  WriteAudioPort(out, true, kPortAudioInR, kPortSymbols[kPortAudioInR], "Right In");
  out << " ,\n";
  WriteAudioPort(out, false, kPortAudioOutL, kPortSymbols[kPortAudioOutL], "Left Out");
  out << " ,\n";
  WriteAudioPort(out, false, kPortAudioOutR, kPortSymbols[kPortAudioOutR], "Right Out");
  out << " ,\n";
  WriteControlPort(out, true, kPortEnabled, kPortSymbols[kPortEnabled], "Enabled",
                   "    lv2:designation lv2:enabled ;\n"
                   "    lv2:portProperty lv2:toggled , lv2:integer ;\n"
                   "    lv2:default 1 ;\n    lv2:minimum 0 ;\n    lv2:maximum 1 ;\n");
  out << " ,\n";
  WriteControlPort(out, false, kPortLatency, kPortSymbols[kPortLatency], "Latency",
                   "    lv2:designation lv2:latency ;\n"
                   "    lv2:portProperty lv2:reportsLatency , lv2:integer ;\n"
                   "    lv2:minimum 0 ;\n    lv2:maximum " + std::to_string(kMaxBlockFrames) +
                     " ;\n    units:unit units:frame ;\n");
  out << " ,\n";
  const std::string levelRange = "    lv2:minimum " + Number(kLevelFloorDb) + " ;\n    lv2:maximum " +
                                 Number(kLevelCeilingDb) + " ;\n    units:unit units:db ;\n";
  WriteControlPort(out, false, kPortInputLevel, kPortSymbols[kPortInputLevel], "Input Level",
                   levelRange);
  out << " ,\n";
  WriteControlPort(out, false, kPortOutputLevel, kPortSymbols[kPortOutputLevel], "Output Level",
                   levelRange);
  out << " ,\n";
  WriteControlPort(out, false, kPortTempo, kPortSymbols[kPortTempo], "Tempo",
                   "    lv2:minimum 0 ;\n    lv2:maximum 999 ;\n    units:unit units:bpm ;\n");
  out << " ,\n";
  out << "  [\n"
      << "    a lv2:InputPort , atom:AtomPort ;\n"
      << "    atom:bufferType atom:Sequence ;\n"
      << "    atom:supports time:Position ;\n"
      << "    lv2:index " << kPortTime << " ;\n"
      << "    lv2:symbol " << Quoted(kPortSymbols[kPortTime]) << " ;\n"
      << "    lv2:name \"Time\" ;\n"
      << "    lv2:portProperty lv2:connectionOptional ;\n"
      << "  ] .\n";

  if (!d.uiBinary.empty())
  {
    // The editor: embedded through ui:parent, driven by the host's idle calls; with instance
    // access it edits the running plug-in, otherwise a model of it through the ports.
    out << "\n"
        << Uri(d.uiURI) << "\n"
        << "  a ui:X11UI ;\n"
        << "  ui:binary " << Uri(d.uiBinary) << " ;\n"
        << "  lv2:requiredFeature ui:idleInterface ;\n"
        << "  lv2:optionalFeature ui:parent , ui:resize , ui:touch , ia: , urid:map , opts:options ;\n"
        << "  lv2:extensionData ui:idleInterface , ui:showInterface ;\n"
        << "  opts:supportedOption ui:scaleFactor";
    const int notified[] = {kPortInputLevel, kPortOutputLevel, kPortTempo};
    for (int port : notified)
      out << " ;\n  ui:portNotification [ ui:plugin " << Uri(d.pluginURI) << " ; lv2:symbol "
          << Quoted(kPortSymbols[port]) << " ; ui:protocol ui:floatProtocol ]";
    out << " .\n";
  }
  return out.str();
}

std::string Presets(IEffectLV2& plugin, const LV2BundleDescription& d)
{
  using namespace lv2;
  std::ostringstream out;
  out << kGeneratedNote << kPrefixes;
  for (int i = 0; i < plugin.PresetCount(); ++i)
  {
    const IPreset* preset = plugin.GetPreset(i);
    out << Uri(d.presetURIPrefix + std::to_string(i)) << "\n"
        << "  a pset:Preset ;\n"
        << "  lv2:appliesTo " << Uri(d.pluginURI) << " ;\n"
        << "  rdfs:label " << Quoted(preset->mName) << " ;\n"
        << "  lv2:port";
    const int nParams = std::min<int>(plugin.NParams(), kPortNumParams);
    for (int p = 0; p < nParams; ++p)
    {
      double value = 0.0;
      preset->mChunk.Get(&value, p * static_cast<int>(sizeof(double)));
      value = plugin.GetParam(p)->ConstrainValue(value); // what recalling it stores
      out << (p ? " ,\n    " : "\n    ") << "[ lv2:symbol " << Quoted(kParamSymbols[p])
          << " ; pset:value " << Number(value) << " ]";
    }
    out << " .\n\n";
  }
  return out.str();
}

bool WriteFile(const std::string& path, const std::string& text, std::string& error)
{
  const std::string partial = path + ".part";
  {
    std::ofstream file(partial, std::ios::binary | std::ios::trunc);
    file << text;
    if (!file.good())
    {
      error = "cannot write " + partial;
      return false;
    }
  }
  if (std::rename(partial.c_str(), path.c_str()) != 0)
  {
    error = "cannot rename " + partial + " to " + path;
    return false;
  }
  return true;
}

} // namespace

bool WriteLV2Bundle(IEffectLV2& plugin, const LV2BundleDescription& description,
                    const std::string& dir, std::string& error)
{
  return WriteFile(dir + "/manifest.ttl", Manifest(plugin, description), error) &&
         WriteFile(dir + "/" + description.pluginFile, PluginDescription(plugin, description), error) &&
         WriteFile(dir + "/" + description.presetsFile, Presets(plugin, description), error);
}

} // namespace umbra

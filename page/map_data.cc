#include "page/map_data.h"

#include <rapidjson/writer.h>

#include <cstdint>
#include <string>

#include "page/html_text.h"

namespace {

// RapidJSON's output stream into the page's text. '<' stands only inside
// strings in JSON, where \u003c is the same character: written so, no
// "</script" or "<!--" can stand in the block.
struct ScriptStream {
  using Ch = char;
  std::string& text;
  void Put(char c) {
    if (c == '<') {
      text += "\\u003c";
    } else {
      text += c;
    }
  }
  void Flush() {}
};

using MapWriter = rapidjson::Writer<ScriptStream>;

std::uint64_t timeNumber(const CaptureTime& t) {
  if (t.year == 0) return 0;
  return ((((t.year * 100ULL + t.month) * 100 + t.day) * 100 + t.hour) * 100 + t.minute) * 100 +
         t.second;
}

unsigned flagsOf(const PageData& data, std::size_t image) {
  unsigned flags = 0;
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    if (data.flaggedBy(image, c)) flags |= 1u << c;
  }
  return flags;
}

void writeDot(MapWriter& json, const PageData& data, const MapLayout& map, std::size_t k) {
  const std::size_t image = map.placed[k];
  const ImageFacts& facts = *data.factsOf(image);
  std::string path;
  appendShownText(path, data.pathOf(image));
  json.StartArray();
  json.Uint64(image);
  json.Int64(map.x(map.points[k]));
  json.Int64(map.y(map.points[k]));
  json.Uint(flagsOf(data, image));
  json.String(path.data(), static_cast<rapidjson::SizeType>(path.size()));
  json.Int64(std::llround(facts.latitude * 1e6));
  json.Int64(std::llround(facts.longitude * 1e6));
  json.Uint64(timeNumber(facts.captured));
  json.EndArray();
}

void writeScaleBar(MapWriter& json, const MapLayout& map) {
  const double bar = scaleBarMetres(map.extent);
  std::string label;
  appendNumber(label, std::llround(bar >= 1000 ? bar / 1000 : bar));
  label += bar >= 1000 ? " km" : " m";
  json.Key("bar");
  json.StartArray();
  json.Int64(std::llround(bar * map.scale));
  json.String(label.c_str());
  json.EndArray();
}

}  // namespace

void appendMapData(PageOut& out, const PageData& data, const MapLayout& map) {
  out.text += "<script type=application/json id=mapdata>";
  ScriptStream stream{out.text};
  MapWriter json(stream);
  json.StartObject();
  json.Key("w");
  json.Int64(std::llround(kMapWidth));
  json.Key("h");
  json.Int64(map.height);
  writeScaleBar(json, map);
  json.Key("colours");
  json.StartArray();
  for (const char* colour : kCheckColours) json.String(colour);
  json.EndArray();
  // Passed photos first, so that a flagged dot is never hidden under one;
  // drawnAt[k]: where placed[k] stands among the dots.
  std::vector<std::uint32_t> drawnAt(map.placed.size());
  std::uint32_t next = 0;
  json.Key("dots");
  json.StartArray();
  for (const bool flaggedRound : {false, true}) {
    for (std::size_t k = 0; k < map.placed.size(); ++k) {
      if (data.flagged(map.placed[k]) != flaggedRound) continue;
      writeDot(json, data, map, k);
      drawnAt[k] = next++;
      out.handOnWhenFull();
    }
  }
  json.EndArray();
  json.Key("track");
  json.StartArray();
  for (const std::uint32_t k : captureOrder(data, map)) {
    json.Uint(drawnAt[k]);
    out.handOnWhenFull();
  }
  json.EndArray();
  json.EndObject();
  out.text += "</script>\n";
}

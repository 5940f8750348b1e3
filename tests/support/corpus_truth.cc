#include "tests/support/corpus_truth.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <utility>

#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// clang-format off
const std::vector<KnownDifference> kKnownDifferences = {
    // PixelX/YDimension stored as SLONG (type 9): the reader takes SHORT and
    // LONG only, so width and height stay 0; ExifTool converts them.
    {"cameras/Sony_alpha_a58.JPG", R"({"exifImageWidth": 0, "exifImageHeight": 0})",
     "image size stored as SLONG: we read 0x0, ExifTool 10x10"},
    {"cameras/nikon_D3100_TypeError.jpg", R"({"exifImageWidth": 0, "exifImageHeight": 0})",
     "image size stored as SLONG: we read 0x0, ExifTool 200x134"},
    // Rationals 0/0 count as 0. ExifTool reports such a coordinate or
    // altitude as a non-number (null, with a note).
    {"cameras/Leica_T_Typ_701.jpg", R"({"gpsLatitude": 0, "gpsLongitude": 0, "gpsAltitude": 0})",
     "GPS position and altitude all 0/0: we read 0, ExifTool null"},
    {"cameras/Nikon_D5000.jpg",
     R"({"gpsLatitude": 48.8887263333333, "gpsLongitude": 21.0432511666667})",
     "GPS seconds 0/0: we read 48.89/21.04 (seconds as 0), ExifTool null"},
    // GPS coordinates stored as ASCII text ("52,00000,50,00000,34,01180"):
    // only RATIONAL/SRATIONAL with count 3 is taken.
    {"cameras/geodegrees_as_string.jpg", R"({"gpsLatitude": 0, "gpsLongitude": 0})",
     "GPS coordinates stored as text: we read 0, ExifTool 52.01/11.00"},
    // FocalLengthIn35mmFilm stored as LONG: only the SHORT of the EXIF
    // standard is taken.
    {"cameras/go-exif_gps.jpg", R"({"focalLength35mm": 0})",
     "35 mm focal length stored as LONG: we read 0, ExifTool 28"},
    // The first FF E1 pair starts an XMP APP1; the EXIF APP1 comes later and
    // is not looked for.
    {"cameras/no_exif.jpg", R"({"byteOrder": null})",
     "first FF E1 pair is XMP: exifNoExif, ExifTool finds the later EXIF APP1"},
    {"cameras/panorama360.jpg", R"({"gpsAltitude": 0})",
     "GPS altitude 0/0: we read 0, ExifTool null"},
    {"cameras/photoprism_snow.jpg", R"({"gpsLatitude": 0, "gpsLongitude": 0})",
     "GPS coordinates all 0/0: we read 0, ExifTool null"},
};
// clang-format on

bool readText(const rapidjson::Value& value, std::optional<std::string>& into) {
  if (value.IsNull()) {
    into.reset();
  } else if (value.IsString()) {
    into = std::string(value.GetString(), value.GetStringLength());
  } else {
    return false;
  }
  return true;
}

bool readNumber(const rapidjson::Value& value, std::optional<double>& into) {
  if (value.IsNull()) {
    into.reset();
  } else if (value.IsNumber()) {
    into = value.GetDouble();
  } else {
    return false;
  }
  return true;
}

bool readNotes(const rapidjson::Value& value, std::vector<std::string>& into) {
  if (!value.IsArray()) return false;
  for (const auto& note : value.GetArray()) {
    if (!note.IsString()) return false;
    into.emplace_back(note.GetString(), note.GetStringLength());
  }
  return true;
}

// Takes the members of `object` that TruthValues holds into `values`; other
// members (fileType, exiftoolWarning, ...) are passed over, or are an error
// when `onlyOurs`. Returns the name of the first member it could not take,
// or empty.
std::string readMembers(const rapidjson::Value& object, TruthValues& values, bool onlyOurs) {
  for (const auto& member : object.GetObject()) {
    const std::string name(member.name.GetString(), member.name.GetStringLength());
    const rapidjson::Value& value = member.value;
    bool taken = false;
    if (name == "byteOrder") {
      taken = readText(value, values.byteOrder);
    } else if (name == "make") {
      taken = readText(value, values.make);
    } else if (name == "notes" && !onlyOurs) {
      taken = readNotes(value, values.notes);
    } else {
      const auto number = std::find_if(std::begin(kTruthNumbers), std::end(kTruthNumbers),
                                       [&](const TruthNumber& n) { return name == n.member; });
      if (number != std::end(kTruthNumbers)) {
        taken = readNumber(value, values.*(number->value));
      } else {
        taken = !onlyOurs;
      }
    }
    if (!taken) return name;
  }
  return "";
}

// Applies the photo's known difference to photo.ours and names its members
// in photo.differingMembers. Returns the member it could not take, or empty.
std::string applyDifference(CorpusPhoto& photo) {
  rapidjson::Document ours;
  if (ours.Parse(photo.difference->ours).HasParseError() || !ours.IsObject()) {
    return "(not a JSON object)";
  }
  const std::string bad = readMembers(ours, photo.ours, true);
  if (!bad.empty()) return bad;
  std::vector<std::string> members;
  for (const auto& member : ours.GetObject()) members.emplace_back(member.name.GetString());
  std::sort(members.begin(), members.end());
  for (const std::string& m : members) {
    photo.differingMembers += (photo.differingMembers.empty() ? "" : " ") + m;
  }
  return "";
}

// The folder the corpus is looked for in: $PHOTOCHECK_SHARED when set, else
// the one beside the checkout.
std::string sharedFolder() {
  const char* fromEnvironment = std::getenv("PHOTOCHECK_SHARED");
  return fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment
                                                                : PHOTOCHECK_SHARED_DEFAULT;
}

}  // namespace

std::string corpusFolder() {
  const fs::path corpus = fs::path(sharedFolder()) / "corpus";
  std::error_code error;
  return fs::is_directory(corpus, error) ? corpus.string() : "";
}

std::string corpusMissing() {
  return "the shared corpus is not there: no folder corpus/ in " + sharedFolder() +
         " (set PHOTOCHECK_SHARED to the folder that holds it)";
}

const std::vector<KnownDifference>& knownDifferences() { return kKnownDifferences; }

CorpusTruth readCorpusTruth(const std::string& corpus) {
  CorpusTruth truth;
  const std::string path = (fs::path(corpus) / "truth.json").string();
  const std::optional<std::string> text = readFileBytes(path);
  rapidjson::Document document;
  if (!text || document.Parse(text->data(), text->size()).HasParseError() || !document.IsObject()) {
    truth.error = "cannot read " + path + " as a JSON object";
    return truth;
  }
  std::map<std::string, const KnownDifference*> differences;
  for (const KnownDifference& row : kKnownDifferences) differences[row.key] = &row;

  const std::string folder = "cameras/";
  for (const auto& entry : document.GetObject()) {
    CorpusPhoto photo;
    photo.key.assign(entry.name.GetString(), entry.name.GetStringLength());
    if (photo.key.compare(0, folder.size(), folder) != 0) continue;
    std::string bad = entry.value.IsObject() ? readMembers(entry.value, photo.exifTool, false)
                                             : "(not a JSON object)";
    if (!bad.empty()) {
      truth.error = "truth.json: cannot take member " + bad + " of " + photo.key;
      return truth;
    }
    photo.ours = photo.exifTool;
    const auto row = differences.find(photo.key);
    if (row != differences.end()) {
      photo.difference = row->second;
      differences.erase(row);
      bad = applyDifference(photo);
      if (!bad.empty()) {
        truth.error = "known difference of " + photo.key + ": cannot take member " + bad;
        return truth;
      }
    }
    truth.cameras.push_back(std::move(photo));
  }
  if (!differences.empty()) {
    truth.error = "known difference of " + differences.begin()->first + ", not in truth.json";
  }
  std::sort(truth.cameras.begin(), truth.cameras.end(),
            [](const CorpusPhoto& a, const CorpusPhoto& b) { return a.key < b.key; });
  return truth;
}

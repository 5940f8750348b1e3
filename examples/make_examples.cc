// Writes the sample photo set of examples/images: ten small aerial-style
// photos of one flight, in which each check finds exactly one photo:
//   DJI_0004.JPG  another pixel size (portrait, 120 x 160)
//   DJI_0006.JPG  another camera maker
//   DJI_0008.JPG  no 35 mm equivalent focal length
//   DJI_0009.JPG  no GPS position
// Every photo is a real baseline JPEG that image viewers open; its EXIF block
// is made by the JPEG builder of tests/support.
//
// Usage: make_examples <folder>   (created when missing)
#include <cmath>
#include <cstdio>
#include <string>

#include "examples/tiny_jpeg.h"
#include "tests/support/jpeg_builder.h"
#include "tests/support/temp_folder.h"

namespace {

using testsupport::ExifBuilder;
using testsupport::Ifd;

struct SamplePhoto {
  int number;  // 1..10, the file DJI_000N.JPG / DJI_0010.JPG
  int width = 160;
  int height = 120;
  const char* make = "DJI";
  const char* model = "FC220";
  bool focalLength35mm = true;
  bool gps = true;
};

// A field seen from above: green ground, a brown track across it and a
// small red roof that moves a little from photo to photo along the flight.
RgbImage sceneOf(const SamplePhoto& photo) {
  RgbImage image;
  image.width = photo.width;
  image.height = photo.height;
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height * 3);
  const int roofX = 20 + photo.number * 11 % (image.width - 40);
  const int roofY = image.height / 3;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      double r = 70 + 25 * std::sin(x * 0.21 + photo.number), g = 130 + 30 * std::sin(y * 0.17),
             b = 60;
      if (std::abs(y - (x / 2 + image.height / 4)) < 4) r = 150, g = 110, b = 70;  // track
      if (x >= roofX && x < roofX + 18 && y >= roofY && y < roofY + 12) r = 190, g = 40, b = 35;
      unsigned char* pixel = &image.pixels[3 * (static_cast<std::size_t>(y) * image.width + x)];
      pixel[0] = static_cast<unsigned char>(r);
      pixel[1] = static_cast<unsigned char>(g);
      pixel[2] = static_cast<unsigned char>(b);
    }
  }
  return image;
}

std::vector<unsigned char> exifOf(const SamplePhoto& photo) {
  ExifBuilder exif(/*intelByteOrder=*/true);
  exif.addAscii(Ifd::ifd0, 0x010F, photo.make)   // Make
      .addAscii(Ifd::ifd0, 0x0110, photo.model)  // Model
      .addAscii(Ifd::exif, 0x9003, "2024:05:18 10:2" + std::to_string(photo.number % 10) + ":07")
      .addRationals(Ifd::exif, 0x920A, {{47, 10}})  // FocalLength 4.7 mm
      .addLongs(Ifd::exif, 0xA002, {static_cast<std::uint32_t>(photo.width)})
      .addLongs(Ifd::exif, 0xA003, {static_cast<std::uint32_t>(photo.height)});
  if (photo.focalLength35mm) exif.addShorts(Ifd::exif, 0xA405, {26});
  if (photo.gps) {
    // 30 deg 15' N, 120 deg 10' E, seconds growing along the flight line.
    const auto seconds = static_cast<std::uint32_t>(10 + photo.number * 3);
    exif.addGpsRef(1, 'N')
        .addGpsCoordinate(Ifd::gps, 2, 30, 15, seconds)
        .addGpsRef(3, 'E')
        .addGpsCoordinate(Ifd::gps, 4, 120, 10, seconds)
        .addGpsAltitude(1205, 10, 0);  // 120.5 m above sea level
  }
  return exif.segment();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_examples <folder>\n");
    return 1;
  }
  for (int number = 1; number <= 10; ++number) {
    SamplePhoto photo;
    photo.number = number;
    if (number == 4) photo.width = 120, photo.height = 160;
    if (number == 6) photo.make = "Hasselblad", photo.model = "L1D-20c";
    if (number == 8) photo.focalLength35mm = false;
    if (number == 9) photo.gps = false;
    char name[16];
    std::snprintf(name, sizeof name, "DJI_%04d.JPG", number);
    const std::string path = std::string(argv[1]) + "/" + name;
    writeFileBytes(path, encodeJpeg(sceneOf(photo), exifOf(photo)));  // aborts when it cannot
  }
  return 0;
}

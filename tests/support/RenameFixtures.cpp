#include "RenameFixtures.h"

#include <cstdint>
#include <vector>

namespace tess::testing {
namespace {

struct Field {
  uint16_t tag;
  uint16_t type;  // 2 ASCII, 4 LONG
  std::string ascii;
  uint32_t value = 0;
};

void Put16(std::string& s, uint16_t v) {
  s += char(v & 0xFF);
  s += char(v >> 8);
}
void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
}

// One IFD at offset `at` in the TIFF data, its long values placed right after it.
std::string Ifd(const std::vector<Field>& fields, uint32_t at) {
  std::string dir, data;
  uint32_t dataAt = at + 2 + uint32_t(fields.size()) * 12 + 4;
  Put16(dir, uint16_t(fields.size()));
  for (const Field& f : fields) {
    Put16(dir, f.tag);
    Put16(dir, f.type);
    if (f.type == 2) {
      std::string text = f.ascii + '\0';
      Put32(dir, uint32_t(text.size()));
      if (text.size() <= 4) {
        text.resize(4, '\0');
        dir += text;
      } else {
        Put32(dir, dataAt + uint32_t(data.size()));
        data += text;
        if (data.size() % 2) data += '\0';
      }
    } else {
      Put32(dir, 1);
      Put32(dir, f.value);
    }
  }
  Put32(dir, 0);
  return dir + data;
}

}  // namespace

std::string MakeRenameFixtureJpeg(const RenameFixturePhoto& photo) {
  std::vector<Field> exif;
  if (!photo.dateTimeOriginal.empty()) exif.push_back({36867, 2, photo.dateTimeOriginal});
  if (!photo.dateTimeDigitized.empty()) exif.push_back({36868, 2, photo.dateTimeDigitized});

  std::vector<Field> ifd0;
  if (!photo.make.empty()) ifd0.push_back({271, 2, photo.make});
  if (!photo.model.empty()) ifd0.push_back({272, 2, photo.model});
  if (!photo.dateTime.empty()) ifd0.push_back({306, 2, photo.dateTime});
  ifd0.push_back({34665, 4, {}, 0});  // patched below

  std::string tiff = "II";
  Put16(tiff, 42);
  Put32(tiff, 8);
  std::string first = Ifd(ifd0, 8);
  uint32_t exifAt = 8 + uint32_t(first.size());
  ifd0.back().value = exifAt;
  tiff += Ifd(ifd0, 8);
  tiff += Ifd(exif, exifAt);

  std::string app1 = std::string("Exif\0\0", 6) + tiff;
  std::string jpeg = "\xFF\xD8\xFF\xE1";
  uint16_t length = uint16_t(app1.size() + 2);
  jpeg += char(length >> 8);
  jpeg += char(length & 0xFF);
  jpeg += app1;
  jpeg += "\xFF\xD9";
  return jpeg;
}

}  // namespace tess::testing

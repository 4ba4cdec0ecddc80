#include "ExifFixtures.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tess::fixtures {

namespace {

void Put16(Bytes& b, size_t at, uint16_t v, bool big) {
  b[at] = uint8_t(big ? v >> 8 : v);
  b[at + 1] = uint8_t(big ? v : v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v, bool big) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (big ? 24 - 8 * i : 8 * i));
}
int ElementSize(uint16_t type) {
  static const int sizes[14] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return type >= 1 && type <= 13 ? sizes[type] : 0;
}

}  // namespace

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Entry Ascii(uint16_t id, const std::string& text) {
  Bytes b = Text(text);
  b.push_back(0);
  return AsciiRaw(id, b);
}
Entry AsciiRaw(uint16_t id, const Bytes& bytes) { return Entry{id, 2, uint32_t(bytes.size()), bytes, {}, {}, -1}; }
Entry Short(uint16_t id, uint16_t value) { return Entry{id, 3, 1, {}, {value}, {}, -1}; }
Entry Long(uint16_t id, uint32_t value) { return Entry{id, 4, 1, {}, {value}, {}, -1}; }
Entry Undefined(uint16_t id, const Bytes& bytes) { return Entry{id, 7, uint32_t(bytes.size()), bytes, {}, {}, -1}; }
Entry Pointer(uint16_t id, int directory, uint16_t type) { return Entry{id, type, 1, {}, {}, {}, directory}; }
Entry RawEntry(uint16_t id, uint16_t type, uint32_t count, uint32_t valueField) {
  return Entry{id, type, count, {}, {}, valueField, -1};
}

int TiffBuilder::AddDirectory(std::vector<Entry> entries) {
  directories_.push_back(std::move(entries));
  return int(directories_.size()) - 1;
}

uint32_t TiffBuilder::DirectoryOffset(int directory) const {
  uint32_t at = 8;
  for (int i = 0; i < directory; ++i) at += uint32_t(2 + 12 * directories_[size_t(i)].size() + 4);
  return at;
}

Bytes TiffBuilder::Build() const {
  const bool big = bigEndian_;
  uint32_t dataStart = DirectoryOffset(int(directories_.size()));
  Bytes out(dataStart, 0);
  if (header_.size() == 4) {
    std::copy(header_.begin(), header_.end(), out.begin());
  } else {
    out[0] = out[1] = big ? 'M' : 'I';
    Put16(out, 2, 42, big);
  }
  Put32(out, 4, directories_.empty() ? 0 : DirectoryOffset(chain_.empty() ? 0 : chain_[0]), big);
  for (size_t d = 0; d < directories_.size(); ++d) {
    const auto& entries = directories_[d];
    size_t at = DirectoryOffset(int(d));
    Put16(out, at, countOverride_[d] ? *countOverride_[d] : uint16_t(entries.size()), big);
    for (size_t i = 0; i < entries.size(); ++i) {
      const Entry& e = entries[i];
      size_t p = at + 2 + 12 * i;
      Put16(out, p, e.id, big);
      Put16(out, p + 2, e.type, big);
      Put32(out, p + 4, e.count, big);
      if (e.valueField) {
        Put32(out, p + 8, *e.valueField, big);
        continue;
      }
      if (e.subDirectory >= 0) {
        uint32_t off = DirectoryOffset(e.subDirectory);
        if (e.type == 3) Put16(out, p + 8, uint16_t(off), big);
        else Put32(out, p + 8, off, big);
        continue;
      }
      Bytes value = e.raw;
      if (value.empty() && !e.values.empty()) {
        int unit = e.type == 3 || e.type == 8 ? 2 : 4;
        value.assign(e.values.size() * size_t(unit), 0);
        for (size_t k = 0; k < e.values.size(); ++k) {
          if (unit == 2) Put16(value, k * 2, uint16_t(e.values[k]), big);
          else Put32(value, k * 4, e.values[k], big);
        }
      }
      size_t size = size_t(ElementSize(e.type)) * e.count;
      if (size <= 4) {
        for (size_t k = 0; k < value.size() && k < 4; ++k) out[p + 8 + k] = value[k];
      } else {
        Put32(out, p + 8, uint32_t(out.size()), big);
        value.resize(size, 0);
        out.insert(out.end(), value.begin(), value.end());
        if (out.size() % 2) out.push_back(0);
      }
    }
    // next-directory offset
    uint32_t next = 0;
    for (size_t c = 0; c + 1 < chain_.size(); ++c)
      if (chain_[c] == int(d)) next = DirectoryOffset(chain_[c + 1]);
    Put32(out, at + 2 + 12 * entries.size(), next, big);
  }
  return out;
}

Bytes ExifBlock(const Bytes& tiff) { return Concat({Bytes{'E', 'x', 'i', 'f', 0, 0}, tiff}); }

Bytes Segment(uint8_t marker, const Bytes& payload) {
  size_t length = payload.size() + 2;
  Bytes out{0xFF, marker, uint8_t(length >> 8), uint8_t(length)};
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

Bytes Jpeg(const std::vector<Bytes>& segments) {
  Bytes out{0xFF, 0xD8};
  for (const Bytes& s : segments) out.insert(out.end(), s.begin(), s.end());
  Bytes dqt(65, 1);
  dqt[0] = 0;
  Bytes sos{1, 1, 0, 0, 0x3F, 0};
  out = Concat({out, Segment(0xDB, dqt), Segment(0xDA, sos), Bytes{0x12, 0x34, 0xFF, 0x00, 0x56, 0xFF, 0xD9}});
  return out;
}

Bytes XmpPacket() {
  Bytes sig = Text("http://ns.adobe.com/xap/1.0/");
  sig.push_back(0);
  return Concat({sig, Text("<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta/><?xpacket end='w'?>")});
}

Bytes Psd(const std::vector<PsdResource>& resources) {
  Bytes out = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
  Bytes header = {0, 3, 0, 0, 0, 4, 0, 0, 0, 8, 0, 8, 0, 3};  // channels, height, width, depth, mode
  Bytes section;
  for (const PsdResource& r : resources) {
    Bytes b = Text(r.signature);
    b.resize(4, ' ');
    b.push_back(uint8_t(r.id >> 8));
    b.push_back(uint8_t(r.id));
    b.push_back(uint8_t(r.name.size()));
    b.insert(b.end(), r.name.begin(), r.name.end());
    if (r.name.size() % 2 == 0) b.push_back(0);
    uint32_t n = uint32_t(r.data.size());
    b.insert(b.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    b.insert(b.end(), r.data.begin(), r.data.end());
    if (n % 2) b.push_back(0);
    section.insert(section.end(), b.begin(), b.end());
  }
  uint32_t r = uint32_t(section.size());
  return Concat({out, header, Bytes{0, 0, 0, 0}, Bytes{uint8_t(r >> 24), uint8_t(r >> 16), uint8_t(r >> 8), uint8_t(r)},
                 section, Bytes{0, 0, 0, 0}, Bytes(16, 0)});
}

Bytes PhotoTiff(const PhotoFields& f) {
  TiffBuilder b(f.bigEndian);
  std::vector<Entry> ifd0, exif;
  if (!f.make.empty()) ifd0.push_back(Ascii(271, f.make));
  if (!f.model.empty()) ifd0.push_back(Ascii(272, f.model));
  if (!f.dateTime.empty()) ifd0.push_back(Ascii(306, f.dateTime));
  ifd0.push_back(Pointer(34665, 1));
  if (!f.dateTimeOriginal.empty()) exif.push_back(Ascii(36867, f.dateTimeOriginal));
  if (!f.dateTimeDigitized.empty()) exif.push_back(Ascii(36868, f.dateTimeDigitized));
  if (!f.offsetTimeOriginal.empty()) exif.push_back(Ascii(36881, f.offsetTimeOriginal));
  if (!f.subsecTimeOriginal.empty()) exif.push_back(Ascii(37521, f.subsecTimeOriginal));
  b.AddDirectory(ifd0);
  b.AddDirectory(exif);
  return b.Build();
}

Bytes PhotoJpeg(const PhotoFields& f) {
  Bytes app0 = Text("JFIF");
  app0.insert(app0.end(), {0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
  return Jpeg({Segment(0xE0, app0), Segment(0xE1, ExifBlock(PhotoTiff(f)))});
}

void WriteFile(const std::u16string& path, const Bytes& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write fixture file");
}

std::u16string MakeTempFolder(const std::string& tag) {
  static std::atomic<int> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::filesystem::path p = std::filesystem::temp_directory_path() /
                            ("tess_" + tag + "_" + std::to_string(stamp) + "_" + std::to_string(counter++));
  std::filesystem::create_directories(p);
  return p.u16string();
}

TempFolder::TempFolder(const std::string& tag)
    : path_(MakeTempFolder(tag) + char16_t(std::filesystem::path::preferred_separator)) {}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(path_), ignored);
}

}  // namespace tess::fixtures

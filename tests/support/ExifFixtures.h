#pragma once
// Builders for photo files in memory: TIFF structures in either byte order, Exif blocks,
// JPEGs (SOI, APPn segments, SOS, EOI) and Photoshop files with image resources. Tests of
// every module use them to make the photos they need.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tess::fixtures {

using Bytes = std::vector<uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts);
Bytes Text(const std::string& s);  // the characters as bytes, no terminator

// One directory entry. Numbers in `values` are written in the structure's byte order
// according to the type (SHORT/SSHORT as 16 bits, LONG/SLONG/IFD/RATIONAL halves as 32);
// `raw` bytes are written as they stand. A value that fits 4 bytes goes in the entry.
struct Entry {
  uint16_t id = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  Bytes raw;
  std::vector<uint32_t> values;
  std::optional<uint32_t> valueField;  // forces the value field (offsets pointing anywhere)
  int subDirectory = -1;               // the value names this directory of the builder
};

Entry Ascii(uint16_t id, const std::string& text);  // text plus one NUL
Entry AsciiRaw(uint16_t id, const Bytes& bytes);     // exactly these bytes, count = size
Entry Short(uint16_t id, uint16_t value);
Entry Long(uint16_t id, uint32_t value);
Entry Undefined(uint16_t id, const Bytes& bytes);
// A pointer tag (LONG unless told) to another directory of the builder.
Entry Pointer(uint16_t id, int directory, uint16_t type = 4);
// An entry whose value field is given outright.
Entry RawEntry(uint16_t id, uint16_t type, uint32_t count, uint32_t valueField);

class TiffBuilder {
 public:
  explicit TiffBuilder(bool bigEndian = false) : bigEndian_(bigEndian) {}
  // Adds a directory; returns its index. The first added is the first of the main chain.
  int AddDirectory(std::vector<Entry> entries);
  // Main chain in order (default: directory 0 alone).
  void SetChain(std::vector<int> chain) { chain_ = std::move(chain); }
  // Replaces the four header bytes (byte-order pair and signature).
  void SetHeader(Bytes header) { header_ = std::move(header); }
  // Overrides a directory's entry count field.
  void SetCountField(int directory, uint16_t count) { countOverride_[directory] = count; }
  // Extra bytes appended after everything (e.g. room for a thumbnail).
  Bytes Build() const;
  // The offset a directory will have (valid once all directories are added).
  uint32_t DirectoryOffset(int directory) const;

 private:
  bool bigEndian_;
  std::vector<std::vector<Entry>> directories_;
  std::vector<int> chain_ = {0};
  Bytes header_;
  std::vector<std::optional<uint16_t>> countOverride_ = std::vector<std::optional<uint16_t>>(16);
};

Bytes ExifBlock(const Bytes& tiff);  // "Exif\0\0" + tiff

// A JPEG segment: FF, marker, big-endian length (payload + 2), payload.
Bytes Segment(uint8_t marker, const Bytes& payload);
// SOI, the given segments, a small DQT, SOS with a few bytes of scan data, EOI.
Bytes Jpeg(const std::vector<Bytes>& segments);
Bytes XmpPacket();  // an APP1 XMP payload

struct PsdResource {
  std::string signature = "8BIM";
  uint16_t id = 0;
  std::string name;
  Bytes data;
};
Bytes Psd(const std::vector<PsdResource>& resources);

// The values of a typical camera photo. Empty texts are left out.
struct PhotoFields {
  std::string make, model, dateTime, dateTimeOriginal, dateTimeDigitized;
  std::string subsecTimeOriginal;
  std::string offsetTimeOriginal;
  bool bigEndian = false;
};
Bytes PhotoTiff(const PhotoFields& fields);  // IFD0 + Exif sub-directory
Bytes PhotoJpeg(const PhotoFields& fields);  // the above as an APP1 Exif block in a JPEG

void WriteFile(const std::u16string& path, const Bytes& bytes);
// A fresh empty folder under the system's temporary folder.
std::u16string MakeTempFolder(const std::string& tag);
// The same, ending with a separator, and removed with what it holds when the test ends.
class TempFolder {
 public:
  explicit TempFolder(const std::string& tag);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::u16string& Path() const { return path_; }
  std::u16string operator+(std::u16string_view name) const { return path_ + std::u16string(name); }

 private:
  std::u16string path_;
};

}  // namespace tess::fixtures

#pragma once
// Builders for the newer camera and phone files in memory: ISO base media boxes (HEIF/HEIC,
// CR3, MP4/MOV), PNG and WebP chunks. Small but laid out as the real writers lay them out.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ExifFixtures.h"

namespace tess::fixtures {

Bytes Be32Bytes(uint32_t v);
Bytes Be64Bytes(uint64_t v);
// A box: 32-bit size, type, payload.
Bytes Box(const std::string& type, const Bytes& payload);
// A box with a 64-bit size (size field 1).
Bytes LargeBox(const std::string& type, const Bytes& payload);
Bytes FullBox(const std::string& type, uint8_t version, uint32_t flags, const Bytes& payload);
Bytes UuidBox(const uint8_t (&uuid)[16], const Bytes& payload);
extern const uint8_t kCanonUuid[16];
Bytes Ftyp(const std::string& major, const std::vector<std::string>& compatible = {});

// A HEIC: ftyp, meta (hdlr, pitm, iinf with an hvc1 item and the Exif item, iloc), mdat.
// The Exif item holds a 4-byte header offset of 6, "Exif\0\0" and the TIFF structure.
struct HeicOptions {
  bool exifInIdat = false;  // construction method 1: the item's bytes in meta's idat
  int extents = 1;          // the Exif item split over this many extents
  uint8_t ilocVersion = 1;
  uint8_t infeVersion = 2;
  std::string brand = "heic";
};
Bytes Heic(const Bytes& tiff, const HeicOptions& options = {});

// A CR3: ftyp crx, moov with Canon's uuid box (CMT1 = main TIFF, CMT2 = Exif-tags TIFF),
// one video track, mdat.
Bytes Cr3(const Bytes& cmt1, const Bytes& cmt2);

// A movie: ftyp, then mdat and moov in the order asked.
struct MovieOptions {
  std::string brand = "mp42";
  std::optional<uint64_t> creation;  // mvhd creation time, seconds since 1904 UTC
  uint8_t mvhdVersion = 0;
  bool videoTrack = true;
  std::vector<std::pair<std::string, std::string>> keys;  // mdta keys under moov/meta
  bool keysUnderUdta = false;                             // as ffmpeg writes them
  std::string udtaMake, udtaModel;                        // QuickTime text records
  std::string ilstMake, ilstModel;                        // udta/meta/ilst ©mak/©mod data boxes
  Bytes canonCmt1, canonCmt2;                             // Canon's uuid box under moov
  bool moovFirst = false;
  size_t mdatBytes = 64;
};
Bytes Movie(const MovieOptions& options);
// The movie header's time of a UTC calendar time.
uint64_t Seconds1904(int year, int month, int day, int hour, int minute, int second);

// A PNG: signature, IHDR, the chunks given (type, data), IEND.
Bytes Png(const std::vector<std::pair<std::string, Bytes>>& chunks);
Bytes PngChunk(const std::string& type, const Bytes& data);
// A WebP: RIFF/WEBP with VP8X and the chunks given.
Bytes WebP(const std::vector<std::pair<std::string, Bytes>>& chunks);

// The first directory of a TIFF structure holding Exif sub-directory tags (CMT2).
Bytes DetailsTiff(const std::string& dateTimeOriginal, const std::string& subsec = {});
// An ORF (header "IIRO", "IIRS" or "MMOR") or RW2 ("IIU\0") with make, model, DateTime in
// IFD0 and DateTimeOriginal in the Exif sub-directory.
Bytes RawTiff(const Bytes& header, bool bigEndian, const PhotoFields& fields);

}  // namespace tess::fixtures

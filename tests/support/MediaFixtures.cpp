#include "MediaFixtures.h"

#include <stdexcept>
#include <tuple>

#include "platform/DateTime.h"

namespace tess::fixtures {

const uint8_t kCanonUuid[16] = {0x85, 0xC0, 0xB6, 0x87, 0x82, 0x0F, 0x11, 0xE0,
                                0x81, 0x11, 0xF4, 0xCE, 0x46, 0x2B, 0x6A, 0x48};

Bytes Be16Bytes(uint16_t v) { return {uint8_t(v >> 8), uint8_t(v)}; }
Bytes Be32Bytes(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }
Bytes Be64Bytes(uint64_t v) { return Concat({Be32Bytes(uint32_t(v >> 32)), Be32Bytes(uint32_t(v))}); }
Bytes Le32Bytes(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

Bytes Box(const std::string& type, const Bytes& payload) {
  if (type.size() != 4) throw std::invalid_argument("box type");
  return Concat({Be32Bytes(uint32_t(payload.size() + 8)), Text(type), payload});
}
Bytes LargeBox(const std::string& type, const Bytes& payload) {
  return Concat({Be32Bytes(1), Text(type), Be64Bytes(payload.size() + 16), payload});
}
Bytes FullBox(const std::string& type, uint8_t version, uint32_t flags, const Bytes& payload) {
  return Box(type, Concat({Bytes{version, uint8_t(flags >> 16), uint8_t(flags >> 8), uint8_t(flags)}, payload}));
}
Bytes UuidBox(const uint8_t (&uuid)[16], const Bytes& payload) {
  return Box("uuid", Concat({Bytes(uuid, uuid + 16), payload}));
}
Bytes Ftyp(const std::string& major, const std::vector<std::string>& compatible) {
  Bytes p = Concat({Text(major), Be32Bytes(0)});
  for (const auto& c : compatible) p = Concat({p, Text(c)});
  if (compatible.empty()) p = Concat({p, Text(major)});
  return Box("ftyp", p);
}

namespace {

Bytes Hdlr(const std::string& handler) {
  return FullBox("hdlr", 0, 0, Concat({Be32Bytes(0), Text(handler), Bytes(12, 0), Bytes{0}}));
}

Bytes Infe(uint8_t version, uint32_t id, const std::string& type) {
  Bytes p = version == 2 ? Be16Bytes(uint16_t(id)) : Be32Bytes(id);
  return FullBox("infe", version, 0, Concat({p, Be16Bytes(0), Text(type), Bytes{0}}));
}

// iloc with 4-byte offsets and lengths, no base offset.
Bytes Iloc(uint8_t version, const std::vector<std::tuple<uint32_t, uint16_t, std::vector<std::pair<uint32_t, uint32_t>>>>& items) {
  Bytes p = {0x44, 0x00};
  p = Concat({p, version < 2 ? Be16Bytes(uint16_t(items.size())) : Be32Bytes(uint32_t(items.size()))});
  for (const auto& [id, method, extents] : items) {
    p = Concat({p, version < 2 ? Be16Bytes(uint16_t(id)) : Be32Bytes(id)});
    if (version >= 1) p = Concat({p, Be16Bytes(method)});
    p = Concat({p, Be16Bytes(0), Be16Bytes(uint16_t(extents.size()))});
    for (auto [off, len] : extents) p = Concat({p, Be32Bytes(off), Be32Bytes(len)});
  }
  return FullBox("iloc", version, 0, p);
}

Bytes VideoTrak() {
  Bytes tkhd = FullBox("tkhd", 0, 3, Bytes(80, 0));
  Bytes mdia = Box("mdia", Concat({FullBox("mdhd", 0, 0, Bytes(20, 0)), Hdlr("vide"), Box("minf", Bytes(8, 0))}));
  return Box("trak", Concat({tkhd, mdia}));
}

Bytes SoundTrak() {
  Bytes mdia = Box("mdia", Concat({FullBox("mdhd", 0, 0, Bytes(20, 0)), Hdlr("soun")}));
  return Box("trak", mdia);
}

Bytes DataBox(const std::string& text) { return Box("data", Concat({Be32Bytes(1), Be32Bytes(0), Text(text)})); }

Bytes QuickTimeText(const std::string& text) {
  return Concat({Be16Bytes(uint16_t(text.size())), Be16Bytes(0x55C4), Text(text)});
}

uint32_t Crc32(const Bytes& data, size_t from) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = from; i < data.size(); ++i) {
    c ^= data[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

}  // namespace

Bytes Heic(const Bytes& tiff, const HeicOptions& o) {
  Bytes item = Concat({Be32Bytes(6), ExifBlock(tiff)});
  Bytes image = Bytes(40, 0x11);
  Bytes iinf = FullBox("iinf", 0, 0, Concat({Be16Bytes(2), Infe(o.infeVersion, 1, "hvc1"), Infe(o.infeVersion, 2, "Exif")}));
  Bytes pitm = FullBox("pitm", 0, 0, Be16Bytes(1));
  // The iloc's size does not depend on the offsets it holds, so build it twice: once to
  // measure, once with the real offsets.
  auto build = [&](uint32_t mdatPayload) {
    std::vector<std::pair<uint32_t, uint32_t>> exifExtents;
    uint32_t base = o.exifInIdat ? 0 : mdatPayload + uint32_t(image.size());
    uint32_t per = uint32_t(item.size()) / uint32_t(o.extents);
    for (int k = 0; k < o.extents; ++k) {
      uint32_t off = base + per * uint32_t(k);
      uint32_t len = k == o.extents - 1 ? uint32_t(item.size()) - per * uint32_t(k) : per;
      exifExtents.push_back({off, len});
    }
    Bytes iloc = Iloc(o.ilocVersion, {{1, 0, {{mdatPayload, uint32_t(image.size())}}},
                                      {2, uint16_t(o.exifInIdat ? 1 : 0), exifExtents}});
    // Item properties: the image's size, as every reader expects to find.
    Bytes iprp = Box("iprp", Concat({Box("ipco", FullBox("ispe", 0, 0, Concat({Be32Bytes(4), Be32Bytes(3)}))),
                                      FullBox("ipma", 0, 0, Concat({Be32Bytes(1), Be16Bytes(1), Bytes{1, 0x81}}))}));
    Bytes metaPayload = Concat({Hdlr("pict"), pitm, iinf, iloc, iprp});
    if (o.exifInIdat) metaPayload = Concat({metaPayload, Box("idat", item)});
    Bytes head = Concat({Ftyp(o.brand, {"mif1", o.brand}), FullBox("meta", 0, 0, metaPayload)});
    return head;
  };
  Bytes head = build(0);
  uint32_t mdatPayload = uint32_t(head.size() + 8);
  head = build(mdatPayload);
  Bytes mdat = Box("mdat", o.exifInIdat ? image : Concat({image, item}));
  return Concat({head, mdat});
}

Bytes Cr3(const Bytes& cmt1, const Bytes& cmt2) {
  Bytes canon = UuidBox(kCanonUuid, Concat({Box("CNCV", Text("CanonCR3_001/00.09.00/00.00.00")), Box("CMT1", cmt1),
                                            Box("CMT2", cmt2), Box("CMT3", Bytes(16, 0)), Box("CMT4", Bytes(16, 0))}));
  Bytes moov = Box("moov", Concat({canon, FullBox("mvhd", 0, 0, Bytes(96, 0)), VideoTrak()}));
  return Concat({Ftyp("crx ", {"crx ", "isom"}), moov, Box("mdat", Bytes(256, 0x5A))});
}

uint64_t Seconds1904(int year, int month, int day, int hour, int minute, int second) {
  TDateTime v;
  TryEncodeDateTime({year, month, day, hour, minute, second, 0}, v);
  TDateTime epoch;
  TryEncodeDateTime({1904, 1, 1, 0, 0, 0, 0}, epoch);
  return uint64_t((v - epoch) * 86400.0 + 0.5);
}

Bytes Movie(const MovieOptions& o) {
  uint64_t c = o.creation.value_or(0);
  Bytes mvhd = o.mvhdVersion == 1
                   ? FullBox("mvhd", 1, 0, Concat({Be64Bytes(c), Be64Bytes(c), Be32Bytes(1000), Be64Bytes(1000), Bytes(80, 0)}))
                   : FullBox("mvhd", 0, 0, Concat({Be32Bytes(uint32_t(c)), Be32Bytes(uint32_t(c)), Be32Bytes(1000), Be32Bytes(1000), Bytes(80, 0)}));
  Bytes moov = mvhd;
  moov = Concat({moov, o.videoTrack ? VideoTrak() : SoundTrak()});
  Bytes keysMeta;
  if (!o.keys.empty()) {
    Bytes keys = Concat({Bytes{0, 0, 0, 0}, Be32Bytes(uint32_t(o.keys.size()))});
    Bytes ilst;
    uint32_t index = 1;
    for (const auto& [k, v] : o.keys) {
      keys = Concat({keys, Be32Bytes(uint32_t(k.size() + 8)), Text("mdta"), Text(k)});
      ilst = Concat({ilst, Be32Bytes(uint32_t(8 + 8 + 8 + v.size())), Be32Bytes(index++), DataBox(v)});
    }
    // QuickTime's meta is no full box: its hdlr follows the header at once.
    keysMeta = Box("meta", Concat({Hdlr("mdta"), Box("keys", keys), Box("ilst", ilst)}));
  }
  Bytes udta;
  if (!o.udtaMake.empty()) udta = Concat({udta, Box("\xA9" "mak", QuickTimeText(o.udtaMake))});
  if (!o.udtaModel.empty()) udta = Concat({udta, Box("\xA9" "mod", QuickTimeText(o.udtaModel))});
  if (!o.ilstMake.empty() || !o.ilstModel.empty()) {
    Bytes ilst;
    if (!o.ilstMake.empty()) ilst = Concat({ilst, Box("\xA9" "mak", DataBox(o.ilstMake))});
    if (!o.ilstModel.empty()) ilst = Concat({ilst, Box("\xA9" "mod", DataBox(o.ilstModel))});
    udta = Concat({udta, FullBox("meta", 0, 0, Concat({Hdlr("mdir"), Box("ilst", ilst)}))});
  }
  if (o.keysUnderUdta) udta = Concat({udta, keysMeta});
  else moov = Concat({moov, keysMeta});
  if (!udta.empty()) moov = Concat({moov, Box("udta", udta)});
  if (!o.canonCmt1.empty() || !o.canonCmt2.empty())
    moov = Concat({moov, UuidBox(kCanonUuid, Concat({Box("CMT1", o.canonCmt1), Box("CMT2", o.canonCmt2)}))});
  Bytes moovBox = Box("moov", moov);
  Bytes mdat = Box("mdat", Bytes(o.mdatBytes, 0x33));
  Bytes ftyp = o.brand == "qt  " ? Ftyp("qt  ") : Ftyp(o.brand, {"isom", o.brand});
  return o.moovFirst ? Concat({ftyp, moovBox, mdat}) : Concat({ftyp, Box("wide", {}), mdat, moovBox});
}

Bytes PngChunk(const std::string& type, const Bytes& data) {
  Bytes typed = Concat({Text(type), data});
  return Concat({Be32Bytes(uint32_t(data.size())), typed, Be32Bytes(Crc32(typed, 0))});
}

Bytes Png(const std::vector<std::pair<std::string, Bytes>>& chunks) {
  Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  out = Concat({out, PngChunk("IHDR", Concat({Be32Bytes(4), Be32Bytes(3), Bytes{8, 2, 0, 0, 0}}))});
  for (const auto& [type, data] : chunks) out = Concat({out, PngChunk(type, data)});
  return Concat({out, PngChunk("IEND", {})});
}

Bytes WebP(const std::vector<std::pair<std::string, Bytes>>& chunks) {
  Bytes body = Text("WEBP");
  auto chunk = [&](const std::string& type, const Bytes& data) {
    body = Concat({body, Text(type), Le32Bytes(uint32_t(data.size())), data});
    if (data.size() % 2) body.push_back(0);
  };
  chunk("VP8X", Bytes{0x08, 0, 0, 0, 3, 0, 0, 2, 0, 0});
  for (const auto& [type, data] : chunks) chunk(type, data);
  return Concat({Text("RIFF"), Le32Bytes(uint32_t(body.size())), body});
}

Bytes DetailsTiff(const std::string& dateTimeOriginal, const std::string& subsec) {
  TiffBuilder b;
  std::vector<Entry> e = {Ascii(36867, dateTimeOriginal)};
  if (!subsec.empty()) e.push_back(Ascii(37521, subsec));
  b.AddDirectory(e);
  return b.Build();
}

Bytes RawTiff(const Bytes& header, bool bigEndian, const PhotoFields& f) {
  PhotoFields fields = f;
  fields.bigEndian = bigEndian;
  Bytes tiff = PhotoTiff(fields);
  std::copy(header.begin(), header.end(), tiff.begin());
  return tiff;
}

}  // namespace tess::fixtures

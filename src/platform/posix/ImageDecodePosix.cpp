#include "platform/ImageDecode.h"

namespace tess {

namespace {
// No system codec off Windows: the native build only locates stored pictures.
class NoImageDecoder final : public ImageDecoder {
 public:
  bool DecodeBytes(std::span<const uint8_t>, int, int, Bitmap&) override { return false; }
  bool DecodeFile(const std::u16string&, int, int, Bitmap&) override { return false; }
};
}  // namespace

ImageDecoder& SystemImageDecoder() {
  static NoImageDecoder decoder;
  return decoder;
}

}  // namespace tess

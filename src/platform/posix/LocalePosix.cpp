// Locale data off Windows: the program runs for a Japanese user, so the core's behaviour
// (code page 932 text, Japanese weekday and era names) is the same on every machine.
#include <iconv.h>

#include <cerrno>
#include <mutex>

#include "platform/Locale.h"
#include "platform/Text.h"

namespace tess {
namespace {

// Bytes that Windows' code page 932 maps on its own but iconv refuses.
char16_t SingleByte932(unsigned char b) {
  if (b == 0x80) return 0x0080;
  if (b == 0xA0) return 0xF8F0;
  if (b >= 0xFD) return char16_t(0xF8F1 + (b - 0xFD));
  return 0x30FB;  // the code page's default character
}

class JapaneseLocale final : public JapaneseLocaleBase {
 public:
  std::u16string DecodeAnsi(std::string_view bytes) const override {
    std::u16string out;
    out.reserve(bytes.size());
    size_t i = 0;
    // Plain ASCII needs no conversion; most EXIF text is nothing else.
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) out += char16_t(bytes[i++]);
    if (i == bytes.size()) return out;
    std::lock_guard<std::mutex> lock(mutex_);
    if (cd_ == reinterpret_cast<iconv_t>(-1)) cd_ = iconv_open("UTF-16LE", "CP932");
    while (i < bytes.size()) {
      unsigned char b = static_cast<unsigned char>(bytes[i]);
      if (b < 0x80) { out += char16_t(b); ++i; continue; }
      size_t len = ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && i + 1 < bytes.size() ? 2 : 1;
      char16_t decoded = 0;
      bool ok = false;
      if (cd_ != reinterpret_cast<iconv_t>(-1)) {
        char in[2] = {bytes[i], len == 2 ? bytes[i + 1] : '\0'};
        char outBuf[8];
        char* inPtr = in;
        char* outPtr = outBuf;
        size_t inLeft = len, outLeft = sizeof outBuf;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && inLeft == 0 &&
            outPtr - outBuf == 2) {
          decoded = char16_t(static_cast<unsigned char>(outBuf[0]) | (static_cast<unsigned char>(outBuf[1]) << 8));
          ok = true;
        }
      }
      if (ok) {
        out += decoded;
        i += len;
      } else {
        out += SingleByte932(b);
        i += 1;
      }
    }
    return out;
  }
  ~JapaneseLocale() override {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }

 private:
  mutable std::mutex mutex_;
  mutable iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

}  // namespace

std::unique_ptr<LocaleData> MakeJapaneseLocale() { return std::make_unique<JapaneseLocale>(); }

const LocaleData& PlatformLocale() {
  static const std::unique_ptr<LocaleData> locale = MakeJapaneseLocale();
  return *locale;
}

}  // namespace tess

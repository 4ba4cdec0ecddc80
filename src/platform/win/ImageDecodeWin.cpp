// The decode seam on the Windows Imaging Component: the codec's frame is scaled and turned
// into 32-bit BGRA by WIC's own scaler and converter, so only the box-sized result is ever
// held by the program.
#include <windows.h>
#include <wincodec.h>

#include "platform/ImageDecode.h"
#include "platform/win/WinHandles.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {

// COM and one imaging factory per thread (the read workers decode at once); the factory
// goes before COM is let go when the thread ends.
struct ThreadImaging {
  bool comStarted = false;
  ComRef<IWICImagingFactory> factory;
  ThreadImaging() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    comStarted = SUCCEEDED(hr);  // a thread already in another apartment keeps it
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.Out()))))
      factory.reset();
  }
  ~ThreadImaging() {
    factory.reset();
    if (comStarted) CoUninitialize();
  }
  ThreadImaging(const ThreadImaging&) = delete;
  ThreadImaging& operator=(const ThreadImaging&) = delete;
};

IWICImagingFactory* Factory() {
  thread_local ThreadImaging imaging;
  return imaging.factory.get();
}

bool DecodeFrame(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, int boxWidth, int boxHeight, Bitmap& out) {
  ComRef<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.Out()))) return false;
  UINT width = 0, height = 0;
  if (FAILED(frame->GetSize(&width, &height)) || width > static_cast<UINT>(kMaxDecodeSide) ||
      height > static_cast<UINT>(kMaxDecodeSide))
    return false;
  int fitWidth = 0, fitHeight = 0;
  if (!FitInBox(static_cast<int>(width), static_cast<int>(height), boxWidth, boxHeight, fitWidth, fitHeight))
    return false;
  IWICBitmapSource* source = frame.get();
  ComRef<IWICBitmapScaler> scaler;
  if (fitWidth != static_cast<int>(width) || fitHeight != static_cast<int>(height)) {
    if (FAILED(factory->CreateBitmapScaler(scaler.Out())) ||
        FAILED(scaler->Initialize(frame.get(), static_cast<UINT>(fitWidth), static_cast<UINT>(fitHeight),
                                  WICBitmapInterpolationModeFant)))
      return false;
    source = scaler.get();
  }
  ComRef<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.Out())) ||
      FAILED(converter->Initialize(source, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)))
    return false;
  Bitmap bitmap;
  bitmap.width = fitWidth, bitmap.height = fitHeight;
  bitmap.sourceWidth = static_cast<int>(width), bitmap.sourceHeight = static_cast<int>(height);
  bitmap.pixels.resize(static_cast<size_t>(fitWidth) * static_cast<size_t>(fitHeight));
  const UINT stride = static_cast<UINT>(fitWidth) * 4;
  if (FAILED(converter->CopyPixels(nullptr, stride, stride * static_cast<UINT>(fitHeight),
                                   reinterpret_cast<BYTE*>(bitmap.pixels.data()))))
    return false;
  out = std::move(bitmap);
  return true;
}

class WicImageDecoder final : public ImageDecoder {
 public:
  bool DecodeBytes(std::span<const uint8_t> bytes, int boxWidth, int boxHeight, Bitmap& out) override {
    IWICImagingFactory* factory = Factory();
    if (!factory || bytes.empty() || bytes.size() > UINT32_MAX) return false;
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateStream(stream.Out())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Out())))
      return false;
    return DecodeFrame(factory, decoder.get(), boxWidth, boxHeight, out);
  }

  bool DecodeFile(const std::u16string& path, int boxWidth, int boxHeight, Bitmap& out) override {
    IWICImagingFactory* factory = Factory();
    ComRef<IWICBitmapDecoder> decoder;
    if (!factory || FAILED(factory->CreateDecoderFromFilename(W(path), nullptr, GENERIC_READ,
                                                              WICDecodeMetadataCacheOnDemand, decoder.Out())))
      return false;
    return DecodeFrame(factory, decoder.get(), boxWidth, boxHeight, out);
  }
};

}  // namespace

ImageDecoder& SystemImageDecoder() {
  static WicImageDecoder decoder;
  return decoder;
}

}  // namespace tess

// The decode seam on the Windows Imaging Component: the codec's frame is scaled and turned
// into 32-bit BGRA by WIC's own scaler and converter, so only the box-sized result is ever
// held by the program.
#include <windows.h>
#include <wincodec.h>

#include "platform/ImageDecode.h"
#include "platform/ThreadEnd.h"
#include "platform/win/WinHandles.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {

// COM and one imaging factory per thread (the read workers decode at once); the factory
// goes before COM is let go when the thread ends.
struct ThreadImaging {
  bool comStarted = false;
  ComRef<IWICImagingFactory> factory;
  // The JPEG codec's class, looked up once: a stored picture is always a JPEG, and each
  // look-up by class id asks the registry again.
  ComRef<IClassFactory> jpegClass;
  ThreadImaging() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    comStarted = SUCCEEDED(hr);  // a thread already in another apartment keeps it
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.Out()))))
      factory.reset();
    if (FAILED(CoGetClassObject(CLSID_WICJpegDecoder, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(jpegClass.Out()))))
      jpegClass.reset();
  }
  ~ThreadImaging() {
    jpegClass.reset();
    factory.reset();
    if (comStarted) CoUninitialize();
  }
  ThreadImaging(const ThreadImaging&) = delete;
  ThreadImaging& operator=(const ThreadImaging&) = delete;
};

ThreadImaging& Imaging() { return PerThread<ThreadImaging>(); }

IWICImagingFactory* Factory() { return Imaging().factory.get(); }

bool DecodeFrame(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, int64_t encodedBytes, int boxWidth,
                 int boxHeight, Bitmap& out) {
  ComRef<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.Out()))) return false;
  UINT width = 0, height = 0;
  if (FAILED(frame->GetSize(&width, &height)) || width > static_cast<UINT>(kMaxDecodeSide) ||
      height > static_cast<UINT>(kMaxDecodeSide) ||
      !PlausiblyEncoded(encodedBytes, static_cast<int>(width), static_cast<int>(height)))
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
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()))))
      return false;
    // A stored picture is a JPEG (SOI first): its codec is taken at once, without the search
    // through every registered codec that a decoder from the stream costs on each picture.
    const bool jpeg = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
    IClassFactory* jpegClass = Imaging().jpegClass.get();
    if (jpeg && jpegClass &&
        SUCCEEDED(jpegClass->CreateInstance(nullptr, IID_IWICBitmapDecoder, reinterpret_cast<void**>(decoder.Out()))) &&
        SUCCEEDED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)))
      return DecodeFrame(factory, decoder.get(), static_cast<int64_t>(bytes.size()), boxWidth, boxHeight, out);
    decoder.reset();
    LARGE_INTEGER start{};
    if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr)) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Out())))
      return false;
    return DecodeFrame(factory, decoder.get(), static_cast<int64_t>(bytes.size()), boxWidth, boxHeight, out);
  }

  bool DecodeFile(const std::u16string& path, int boxWidth, int boxHeight, Bitmap& out) override {
    IWICImagingFactory* factory = Factory();
    ComRef<IWICBitmapDecoder> decoder;
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!factory || !GetFileAttributesExW(W(path), GetFileExInfoStandard, &attributes) ||
        FAILED(factory->CreateDecoderFromFilename(W(path), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                  decoder.Out())))
      return false;
    const int64_t size = static_cast<int64_t>(attributes.nFileSizeHigh) << 32 | attributes.nFileSizeLow;
    return DecodeFrame(factory, decoder.get(), size, boxWidth, boxHeight, out);
  }
};

}  // namespace

ImageDecoder& SystemImageDecoder() {
  static WicImageDecoder decoder;
  return decoder;
}

}  // namespace tess

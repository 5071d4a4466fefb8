#include "ui/png_decoder.h"

#include <windows.h>
#include <initguid.h>
#include <wincodec.h>

namespace kestrum::ui {

namespace {

// Releases a COM interface when it goes out of scope.
template <typename T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

}  // namespace

bool DecodePicture(const rich_text::PictureObject& picture, rich_text::DecodedPicture* out) {
  if (picture.data.empty() || picture.data.size() > 0x7FFFFFFF) return false;
  // The window's thread is a single-threaded apartment; a second call only
  // counts it again.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool decoded = false;
  {
    Com<IWICImagingFactory> factory;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(picture.data.data()),
                                               DWORD(picture.data.size()))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream.p, nullptr,
                                                   WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(&width, &height)) &&
        width > 0 && height > 0 && uint64_t(width) * height <= kMaxDecodedPixels &&
        SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGRA,
                                        WICBitmapDitherTypeNone, nullptr, 0,
                                        WICBitmapPaletteTypeCustom))) {
      out->width = int(width);
      out->height = int(height);
      out->bgra.resize(size_t(width) * height * 4);
      decoded = SUCCEEDED(
          converter->CopyPixels(nullptr, width * 4, UINT(out->bgra.size()), out->bgra.data()));
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  if (!decoded) *out = {};
  return decoded;
}

}  // namespace kestrum::ui

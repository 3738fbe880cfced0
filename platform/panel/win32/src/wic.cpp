#include "wic.h"

#include <wincodec.h>

namespace trl4::panelwin {

namespace {

// Releases a COM interface at the end of a scope.
template <typename T>
class Com {
  public:
    Com() = default;
    ~Com() {
        if (p_ != nullptr) p_->Release();
    }
    Com(const Com &) = delete;
    Com &operator=(const Com &) = delete;
    T **out() { return &p_; }
    T *operator->() const { return p_; }
    T *get() const { return p_; }

  private:
    T *p_ = nullptr;
};

std::string hresultText(const char *what, HRESULT hr) {
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(hr));
    return std::string(what) + " failed (" + code + ")";
}

}  // namespace

Imaging::Imaging() {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    uninitialise_ = SUCCEEDED(init);
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void **>(&factory_)))) {
        factory_ = nullptr;
    }
}

Imaging::~Imaging() {
    if (factory_ != nullptr) factory_->Release();
    if (uninitialise_) CoUninitialize();
}

Picture Imaging::load(const std::wstring &path) {
    if (factory_ == nullptr || path.empty()) return {};
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> converter;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(factory_->CreateDecoderFromFilename(
            path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, decoder.out())) ||
        FAILED(decoder->GetFrame(0, frame.out())) ||
        FAILED(factory_->CreateFormatConverter(converter.out())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 || width > 16384 ||
        height > 16384) {
        return {};
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) return {};
    if (FAILED(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                     static_cast<BYTE *>(bits)))) {
        DeleteObject(bitmap);
        return {};
    }
    return {bitmap, static_cast<int>(width), static_cast<int>(height)};
}

bool Imaging::savePng(const std::wstring &path, int width, int height,
                      const std::vector<std::uint8_t> &pixels, std::string &error) {
    if (factory_ == nullptr) {
        error = "the Windows Imaging Component is not available";
        return false;
    }
    const UINT w = static_cast<UINT>(width);
    const UINT h = static_cast<UINT>(height);
    if (width <= 0 || height <= 0 || pixels.size() != static_cast<std::size_t>(w) * h * 4) {
        error = "the panel has no area to picture";
        return false;
    }
    Com<IWICStream> stream;
    Com<IWICBitmapEncoder> encoder;
    Com<IWICBitmapFrameEncode> frame;
    HRESULT hr = factory_->CreateStream(stream.out());
    if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    if (FAILED(hr)) {
        error = hresultText("creating the file", hr);
        return false;
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    hr = factory_->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out());
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.out(), nullptr);
    if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
    if (SUCCEEDED(hr)) hr = frame->SetSize(w, h);
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && format != GUID_WICPixelFormat32bppBGR) hr = E_FAIL;
    if (SUCCEEDED(hr)) {
        hr = frame->WritePixels(h, w * 4, w * h * 4, const_cast<BYTE *>(pixels.data()));
    }
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    if (FAILED(hr)) {
        error = hresultText("encoding the PNG picture", hr);
        return false;
    }
    return true;
}

}  // namespace trl4::panelwin

// Reference frames as PNG files, through the Windows Imaging Component.
#include <windows.h>

#include <cstring>
#include <wincodec.h>

#include "support/gl_context.h"

namespace {
// One COM object, released when it goes out of scope.
template <typename Interface> struct Held {
    Interface* p = nullptr;
    ~Held() {
        if (p != nullptr) {
            p->Release();
        }
    }
    Interface** out() { return &p; }
};

bool failed(HRESULT result, std::string* error, const std::string& what) {
    if (SUCCEEDED(result)) {
        return false;
    }
    if (error != nullptr) {
        char code[16];
        std::snprintf(code, sizeof code, "%08lx", static_cast<unsigned long>(result));
        *error = what + ": WIC error 0x" + code;
    }
    return true;
}

bool makeFactory(Held<IWICImagingFactory>& factory, std::string* error) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); // a second call only counts up
    return !failed(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(factory.out())),
                   error, "WIC factory");
}

std::wstring widened(const std::string& path) {
    std::wstring wide(path.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
    return wide;
}
} // namespace

bool savePng(const Image& image, const std::string& path, std::string* error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgba.size() != std::size_t(image.width) * image.height * 4) {
        if (error != nullptr) {
            *error = "savePng: empty or malformed image";
        }
        return false;
    }
    // Every PNG encoder takes BGRA.
    std::vector<BYTE> bgra(image.rgba.begin(), image.rgba.end());
    for (std::size_t i = 0; i + 3 < bgra.size(); i += 4) {
        std::swap(bgra[i], bgra[i + 2]);
    }
    Held<IWICImagingFactory> factory;
    Held<IWICStream> stream;
    Held<IWICBitmapEncoder> encoder;
    Held<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    const std::wstring wide = widened(path);
    const UINT stride = UINT(image.width) * 4;
    return makeFactory(factory, error) &&
           !failed(factory.p->CreateStream(stream.out()), error, "savePng " + path) &&
           !failed(stream.p->InitializeFromFilename(wide.c_str(), GENERIC_WRITE), error,
                   "savePng " + path) &&
           !failed(factory.p->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out()), error,
                   "savePng encoder") &&
           !failed(encoder.p->Initialize(stream.p, WICBitmapEncoderNoCache), error, "savePng") &&
           !failed(encoder.p->CreateNewFrame(frame.out(), nullptr), error, "savePng frame") &&
           !failed(frame.p->Initialize(nullptr), error, "savePng frame") &&
           !failed(frame.p->SetSize(UINT(image.width), UINT(image.height)), error, "savePng") &&
           !failed(frame.p->SetPixelFormat(&format), error, "savePng format") &&
           !failed(frame.p->WritePixels(UINT(image.height), stride, UINT(bgra.size()), bgra.data()),
                   error, "savePng pixels") &&
           !failed(frame.p->Commit(), error, "savePng") &&
           !failed(encoder.p->Commit(), error, "savePng");
}

bool loadPng(const std::string& path, Image& image, std::string* error) {
    Held<IWICImagingFactory> factory;
    Held<IWICBitmapDecoder> decoder;
    Held<IWICBitmapFrameDecode> frame;
    Held<IWICBitmapSource> rgba;
    const std::wstring wide = widened(path);
    if (!makeFactory(factory, error) ||
        failed(factory.p->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                    WICDecodeMetadataCacheOnDemand, decoder.out()),
               error, "loadPng " + path) ||
        failed(decoder.p->GetFrame(0, frame.out()), error, "loadPng " + path) ||
        failed(WICConvertBitmapSource(GUID_WICPixelFormat32bppRGBA, frame.p, rgba.out()), error,
               "loadPng: not convertible to RGBA: " + path)) {
        return false;
    }
    UINT width = 0;
    UINT height = 0;
    rgba.p->GetSize(&width, &height);
    image.width = int(width);
    image.height = int(height);
    image.rgba.resize(std::size_t(width) * height * 4);
    return !failed(
        rgba.p->CopyPixels(nullptr, width * 4, UINT(image.rgba.size()), image.rgba.data()), error,
        "loadPng pixels " + path);
}

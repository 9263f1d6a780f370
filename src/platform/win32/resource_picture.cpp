#include "platform/win32/resource_picture.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <system_error>

#include "platform/windows/system/wide_text.h"
#include "platform/windows/system/win32_error.h"

namespace quorvex {

namespace {

using Microsoft::WRL::ComPtr;

void check(HRESULT result, const char* what) {
    if (FAILED(result)) throw std::system_error(win32Error(result), what);
}

}  // namespace

Picture loadResourcePicture(std::string_view name) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC resource = FindResourceW(module, toWide(name).c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!resource) throw lastWin32Failure("FindResourceW");
    const HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) throw lastWin32Failure("LoadResource");

    ComPtr<IWICImagingFactory> factory;
    check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)),
          "CoCreateInstance(WICImagingFactory)");
    ComPtr<IWICStream> stream;
    check(factory->CreateStream(&stream), "IWICImagingFactory::CreateStream");
    check(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)),
                                       SizeofResource(module, resource)),
          "IWICStream::InitializeFromMemory");
    ComPtr<IWICBitmapDecoder> decoder;
    check(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder),
          "IWICImagingFactory::CreateDecoderFromStream");
    ComPtr<IWICBitmapFrameDecode> frame;
    check(decoder->GetFrame(0, &frame), "IWICBitmapDecoder::GetFrame");
    ComPtr<IWICFormatConverter> converter;
    check(factory->CreateFormatConverter(&converter), "IWICImagingFactory::CreateFormatConverter");
    check(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr,
                                0.0, WICBitmapPaletteTypeCustom),
          "IWICFormatConverter::Initialize");

    UINT width = 0, height = 0;
    check(converter->GetSize(&width, &height), "IWICBitmapSource::GetSize");
    BITMAPINFO info{};
    info.bmiHeader = {.biSize = sizeof(BITMAPINFOHEADER), .biWidth = LONG(width), .biHeight = -LONG(height),
                      .biPlanes = 1, .biBitCount = 32, .biCompression = BI_RGB};
    void* bits = nullptr;
    Picture picture{UniqueBitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)),
                    {LONG(width), LONG(height)}};
    if (!picture.bitmap) throw lastWin32Failure("CreateDIBSection");
    check(converter->CopyPixels(nullptr, width * 4, width * 4 * height, static_cast<BYTE*>(bits)),
          "IWICBitmapSource::CopyPixels");
    return picture;
}

}  // namespace quorvex

// The PNG writer: one frame, 32bpp BGRA, no metadata. WIC's PNG encoder is
// part of Wine and of Windows, so nothing beyond the system is needed.
#include "png.h"

#include <wincodec.h>

template <typename T> static void Release(T *&object)
{
    if (object) {
        object->Release();
        object = NULL;
    }
}

static HRESULT EncodeFrame(IWICBitmapEncoder *encoder, int width, int height,
                           const BYTE *pixels, int stride)
{
    IWICBitmapFrameEncode *frame = NULL;
    HRESULT hr = encoder->CreateNewFrame(&frame, NULL);
    if (SUCCEEDED(hr))
        hr = frame->Initialize(NULL);
    if (SUCCEEDED(hr))
        hr = frame->SetSize(width, height);
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (SUCCEEDED(hr))
        hr = frame->SetPixelFormat(&format);
    // The encoder may only offer a different layout; ours is all we have.
    if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA))
        hr = E_FAIL;
    if (SUCCEEDED(hr))
        hr = frame->WritePixels(height, stride, stride * height, (BYTE *)pixels);
    if (SUCCEEDED(hr))
        hr = frame->Commit();
    Release(frame);
    return hr;
}

static HRESULT EncodeToStream(IWICImagingFactory *factory, IWICStream *stream, int width,
                              int height, const BYTE *pixels, int stride)
{
    IWICBitmapEncoder *encoder = NULL;
    HRESULT hr = factory->CreateEncoder(GUID_ContainerFormatPng, NULL, &encoder);
    if (SUCCEEDED(hr))
        hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr))
        hr = EncodeFrame(encoder, width, height, pixels, stride);
    if (SUCCEEDED(hr))
        hr = encoder->Commit();
    Release(encoder);
    return hr;
}

BOOL WritePngBgra(const wchar_t *path, int width, int height, const BYTE *pixels, int stride)
{
    if (width <= 0 || height <= 0 || !pixels)
        return FALSE;
    IWICImagingFactory *factory = NULL;
    IWICStream *stream = NULL;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, NULL, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, (void **)&factory);
    if (SUCCEEDED(hr))
        hr = factory->CreateStream(&stream);
    BOOL opened = FALSE;
    if (SUCCEEDED(hr)) {
        hr = stream->InitializeFromFilename(path, GENERIC_WRITE);
        opened = SUCCEEDED(hr);
    }
    if (SUCCEEDED(hr))
        hr = EncodeToStream(factory, stream, width, height, pixels, stride);
    Release(stream);
    Release(factory);
    if (FAILED(hr) && opened)
        DeleteFileW(path);
    return SUCCEEDED(hr);
}

#include "winui/TestHooks.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <vector>

#include "winui/ComScope.h"
#include "winui/Handles.h"

namespace hv {

using Microsoft::WRL::ComPtr;

bool SaveWindowAsPng(HWND wnd, const std::wstring& fileName) {
  RECT r;
  if (!GetWindowRect(wnd, &r)) return false;
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  // A window that has just been shown may still be mapped by the display: let it settle, then
  // paint it completely.
  for (int i = 0; i < 5; ++i) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_PAINT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
  }
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  GdiFlush();

  TWindowDCHandle screen(nullptr);
  TDCHandle mem(CreateCompatibleDC(screen.Get()));
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  TBitmapHandle bmp(CreateDIBSection(screen.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  bool ok = false;
  if (bmp && mem) {
    HGDIOBJ old = SelectObject(mem.Get(), bmp.Get());
    {
      // What the window shows, frame and children included (Wine's PrintWindow leaves them out).
      TWindowDCHandle windowDc(wnd, true);
      if (!windowDc || !BitBlt(mem.Get(), 0, 0, w, h, windowDc.Get(), 0, 0, SRCCOPY))
        BitBlt(mem.Get(), 0, 0, w, h, screen.Get(), r.left, r.top, SRCCOPY);
    }
    SelectObject(mem.Get(), old);
    GdiFlush();
    auto* px = static_cast<BYTE*>(bits);
    for (int i = 0; i < w * h; ++i) px[i * 4 + 3] = 0xFF;

    {
      TComScope com;
      ComPtr<IWICImagingFactory> factory;
      ComPtr<IWICStream> stream;
      ComPtr<IWICBitmapEncoder> encoder;
      ComPtr<IWICBitmapFrameEncode> frame;
      WICPixelFormatGUID fmt = GUID_WICPixelFormat32bppBGRA;
      ok = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(&factory))) &&
           SUCCEEDED(factory->CreateStream(&stream)) &&
           SUCCEEDED(stream->InitializeFromFilename(fileName.c_str(), GENERIC_WRITE)) &&
           SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
           SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
           SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
           SUCCEEDED(frame->SetSize(w, h)) && SUCCEEDED(frame->SetPixelFormat(&fmt)) &&
           SUCCEEDED(frame->WritePixels(h, w * 4, w * h * 4, px)) && SUCCEEDED(frame->Commit()) &&
           SUCCEEDED(encoder->Commit());
    }
  }
  return ok;
}

}  // namespace hv

#include "winui/ImageList.h"

#include "winui/Handles.h"

namespace hv {

TImageList::~TImageList() {
  if (FHandle) ImageList_Destroy(FHandle);
}

bool TImageList::Create(int width, int height, UINT flags, int grow) {
  if (FHandle) ImageList_Destroy(FHandle);
  FHandle = ImageList_Create(width, height, flags, 0, grow);
  return FHandle != nullptr;
}

int TImageList::Width() const {
  int w = 0, h = 0;
  if (FHandle) ImageList_GetIconSize(FHandle, &w, &h);
  return w;
}

int TImageList::Height() const {
  int w = 0, h = 0;
  if (FHandle) ImageList_GetIconSize(FHandle, &w, &h);
  return h;
}

int TImageList::AddIcon(HICON icon) { return FHandle && icon ? ImageList_AddIcon(FHandle, icon) : -1; }
int TImageList::AddBitmap(HBITMAP image, HBITMAP mask) { return FHandle ? ImageList_Add(FHandle, image, mask) : -1; }
int TImageList::AddMasked(HBITMAP image, COLORREF maskColor) {
  return FHandle ? ImageList_AddMasked(FHandle, image, maskColor) : -1;
}

int TImageList::AddResourceIcon(HINSTANCE module, const wchar_t* name) {
  if (!FHandle) return -1;
  TIconHandle icon(static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, Width(), Height(), 0)));
  if (!icon) return -1;
  return ImageList_AddIcon(FHandle, icon.Get());
}

void TImageList::Clear() {
  if (FHandle) ImageList_Remove(FHandle, -1);
}

HICON TImageList::GetIcon(int index) const {
  return FHandle && index >= 0 && index < Count() ? ImageList_GetIcon(FHandle, index, ILD_NORMAL) : nullptr;
}

bool TImageList::Draw(HDC dc, int x, int y, int index, bool enabled) const {
  if (!FHandle || index < 0 || index >= Count()) return false;
  IMAGELISTDRAWPARAMS p{};
  p.cbSize = sizeof(p);
  p.himl = FHandle;
  p.i = index;
  p.hdcDst = dc;
  p.x = x;
  p.y = y;
  p.rgbBk = CLR_NONE;
  p.rgbFg = CLR_DEFAULT;
  p.fStyle = ILD_TRANSPARENT;
  p.fState = enabled ? ILS_NORMAL : ILS_SATURATE;
  return ImageList_DrawIndirect(&p) != FALSE;
}

}  // namespace hv

#pragma once
// An image list of the common controls, owned by the object.
#include <windows.h>
#include <commctrl.h>

namespace hv {

class TImageList {
 public:
  TImageList() = default;
  TImageList(const TImageList&) = delete;
  TImageList& operator=(const TImageList&) = delete;
  ~TImageList();

  // A new, empty list of images of the given pixel size (replaces an earlier one).
  bool Create(int width, int height, UINT flags = ILC_COLOR32 | ILC_MASK, int grow = 4);
  HIMAGELIST Handle() const { return FHandle; }
  int Width() const;
  int Height() const;
  int Count() const { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

  // Each returns the index of the new image, -1 on failure; the caller keeps its handles.
  int AddIcon(HICON icon);
  int AddBitmap(HBITMAP image, HBITMAP mask);
  int AddMasked(HBITMAP image, COLORREF maskColor);
  // An icon resource of a module, loaded at the list's size.
  int AddResourceIcon(HINSTANCE module, const wchar_t* name);
  void Clear();
  // A new icon of an image (the caller destroys it); null when there is none.
  HICON GetIcon(int index) const;
  bool Draw(HDC dc, int x, int y, int index, bool enabled = true) const;

 private:
  HIMAGELIST FHandle = nullptr;
};

}  // namespace hv

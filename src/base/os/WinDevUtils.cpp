#include "base/os/WinDevUtils.h"

#include <winioctl.h>

#include <cstring>
#include <iterator>

#include "winui/Handles.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "winui/Translate.h"

namespace hv {

namespace {

// No "insert a disk" box while drives are asked.
class TNoErrorBoxes {
 public:
  TNoErrorBoxes() { SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &FOld); }
  ~TNoErrorBoxes() { SetThreadErrorMode(FOld, nullptr); }

 private:
  DWORD FOld = 0;
};

std::wstring DriveRoot(std::wstring_view path) {
  std::wstring drive = ExtractDrivePart(path);
  return drive.empty() ? drive : drive + L"\\";
}

}  // namespace

std::wstring ExtractDrivePart(std::wstring_view path) {
  if (path.size() >= 2 && path[1] == L':') return std::wstring(path.substr(0, 2));
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
    // Server (or "?" / "."), then share (or volume): the second delimiter after the start ends it.
    size_t p = path.find(L'\\', 2);
    if (p == std::wstring_view::npos || p == 2) return L"";
    size_t q = path.find(L'\\', p + 1);
    return std::wstring(path.substr(0, q));
  }
  return L"";
}

UINT GetDriveKind(std::wstring_view path) {
  const std::wstring root = DriveRoot(path);
  if (root.empty()) return DRIVE_NO_ROOT_DIR;
  UINT kind = GetDriveTypeW(root.c_str());
  if (kind == DRIVE_FIXED && IsUsbDrive(root)) kind = DRIVE_REMOVABLE;
  return kind;
}

TPathType GetPathType(std::wstring_view path) {
  const std::wstring root = DriveRoot(path);
  if (root.empty()) return TPathType::ptNoDrive;
  if (TextPos(L"\\\\?\\Volume{", root) == 0) return TPathType::ptLocal;
  if (root.starts_with(L"\\\\")) return TPathType::ptNetwork;
  switch (GetDriveKind(root)) {
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM: return TPathType::ptRemovable;
    case DRIVE_REMOTE: return TPathType::ptNetwork;
    case DRIVE_FIXED:
    case DRIVE_RAMDISK: return TPathType::ptLocal;
    default: return TPathType::ptUnknown;
  }
}

bool IsLocalOrRemovablePath(std::wstring_view path) {
  TPathType type = GetPathType(path);
  return type == TPathType::ptLocal || type == TPathType::ptRemovable;
}

bool ReadVolumeLabel(std::wstring_view path, std::wstring& label) {
  const std::wstring root = DriveRoot(path);
  wchar_t name[256] = {};
  TNoErrorBoxes noBoxes;
  if (root.empty() || !GetVolumeInformationW(root.c_str(), name, 255, nullptr, nullptr, nullptr, nullptr, 0)) {
    label = _(L"not available");
    return false;
  }
  label = name;
  while (!label.empty() && label.back() <= L' ') label.pop_back();
  size_t start = 0;
  while (start < label.size() && label[start] <= L' ') ++start;
  label.erase(0, start);
  return true;
}

std::wstring FindDriveByLabel(std::wstring_view label, int firstDrive) {
  const DWORD drives = GetLogicalDrives();
  for (int i = firstDrive < 0 ? 0 : firstDrive; i < 26; ++i) {
    if (!(drives & (1u << i))) continue;
    const std::wstring root = {wchar_t(L'A' + i), L':', L'\\'};
    std::wstring name;
    if (ReadVolumeLabel(root, name) && AnsiUpperCase(name) == AnsiUpperCase(label)) return root;
  }
  return L"";
}

bool GetStorageDescriptor(std::wstring_view drive, TStorageDeviceDescriptor& descriptor) {
  std::memset(&descriptor, 0, sizeof(descriptor));
  std::wstring device;
  if (drive.starts_with(L"\\\\"))
    device = std::wstring(drive.substr(0, drive.size() - 1));
  else if (drive.size() >= 2)
    device = L"\\\\.\\" + std::wstring(drive.substr(0, 2));
  else
    return false;
  TNoErrorBoxes noBoxes;
  TFileHandle h(CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!h) return false;
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  DWORD returned = 0;
  return DeviceIoControl(h.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, 12, &descriptor, sizeof(descriptor), &returned,
                         nullptr) != FALSE;
}

bool IsUsbDrive(std::wstring_view drive) {
  TStorageDeviceDescriptor descriptor;
  return GetStorageDescriptor(drive, descriptor) && descriptor.BusType == 7;
}

}  // namespace hv

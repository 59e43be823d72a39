#pragma once
// Drives and volumes: the kind of a path's drive (fixed disks on USB count as removable), volume
// labels and the drive that carries a label.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace hv {

enum class TPathType { ptUnknown, ptLocal, ptNoDrive, ptRemovable, ptNetwork };

// The first 40 bytes of the system's storage device descriptor.
struct TStorageDeviceDescriptor {
  uint32_t Version;
  uint32_t Size;
  uint8_t DeviceType;
  uint8_t DeviceTypeModifier;
  uint8_t RemovableMedia;
  uint8_t CommandQueueing;
  uint32_t VendorIdOffset;
  uint32_t ProductIdOffset;
  uint32_t ProductRevisionOffset;
  uint32_t SerialNumberOffset;
  uint32_t BusType;  // 7: USB
  uint32_t RawPropertiesLength;
  uint8_t RawDeviceProperties[4];
};
static_assert(sizeof(TStorageDeviceDescriptor) == 40);

// The drive part of a path: "C:", "\\server\share" or "\\?\Volume{...}"; empty when it has none.
std::wstring ExtractDrivePart(std::wstring_view path);
// GetDriveTypeW of the path's drive root, with 2 (removable) for a fixed disk on USB and 1 (no root
// folder) for a path without drive.
UINT GetDriveKind(std::wstring_view path);
TPathType GetPathType(std::wstring_view path);
bool IsLocalOrRemovablePath(std::wstring_view path);
// False, with the label "not available", when the volume information cannot be read.
bool ReadVolumeLabel(std::wstring_view path, std::wstring& label);
// "X:\" of the first drive from firstDrive (0 = A:) whose label equals label ignoring case; empty
// when none.
std::wstring FindDriveByLabel(std::wstring_view label, int firstDrive);
// drive: "C:\" or a device path such as "\\.\C:\".
bool GetStorageDescriptor(std::wstring_view drive, TStorageDeviceDescriptor& descriptor);
bool IsUsbDrive(std::wstring_view drive);

}  // namespace hv

#include "base/os/WinDevUtils.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

using namespace hv;

namespace {

// A drive letter that no drive carries, as "X:".
std::wstring MissingDrive() {
  const DWORD drives = GetLogicalDrives();
  for (int i = 25; i >= 3; --i)
    if (!(drives & (1u << i))) return {wchar_t(L'A' + i), L':'};
  return L"";
}

}  // namespace

TEST(WinDevUtils, DrivePartsAndPathTypes) {
  struct Part { const wchar_t *path, *drive; } parts[] = {
      {L"C:\\a\\b", L"C:"}, {L"c:", L"c:"}, {L"\\\\server\\share\\x", L"\\\\server\\share"},
      {L"\\\\server\\share", L"\\\\server\\share"}, {L"\\\\?\\Volume{1234}\\x", L"\\\\?\\Volume{1234}"},
      {L"relative\\x", L""}, {L"\\root\\x", L""}, {L"", L""}, {L"\\\\server", L""},
  };
  for (const auto& p : parts) EXPECT_EQ(ExtractDrivePart(p.path), p.drive) << p.path;

  const std::wstring missing = MissingDrive();
  ASSERT_FALSE(missing.empty());
  struct Case { std::wstring path; TPathType type; } cases[] = {
      {L"relative\\x", TPathType::ptNoDrive},
      {L"\\\\server\\share\\x", TPathType::ptNetwork},
      {L"\\\\?\\Volume{00000000-0000-0000-0000-000000000000}\\x", TPathType::ptLocal},
      {L"\\\\?\\volume{00000000-0000-0000-0000-000000000000}\\x", TPathType::ptLocal},
      {L"C:\\windows", TPathType::ptLocal},
      {missing + L"\\x", TPathType::ptUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(GetPathType(c.path), c.type) << c.path.c_str();
  EXPECT_TRUE(IsLocalOrRemovablePath(L"C:\\x"));
  EXPECT_FALSE(IsLocalOrRemovablePath(L"\\\\server\\share"));
  EXPECT_FALSE(IsLocalOrRemovablePath(missing + L"\\x"));

  EXPECT_EQ(GetDriveKind(L"C:\\windows"), UINT(DRIVE_FIXED));
  EXPECT_EQ(GetDriveKind(missing + L"\\"), UINT(DRIVE_NO_ROOT_DIR));
  EXPECT_EQ(GetDriveKind(L"relative"), UINT(DRIVE_NO_ROOT_DIR));
}

TEST(WinDevUtils, VolumeLabels) {
  std::wstring label;
  ASSERT_TRUE(ReadVolumeLabel(L"C:\\windows", label));
  EXPECT_EQ(FindDriveByLabel(label, 2), L"C:\\") << "the first drive from C: with that label";
  EXPECT_EQ(FindDriveByLabel(L"HV-NO-SUCH-LABEL-7", 0), L"");

  std::wstring other = L"x";
  EXPECT_FALSE(ReadVolumeLabel(MissingDrive() + L"\\", other));
  EXPECT_EQ(other, L"not available");
  EXPECT_FALSE(ReadVolumeLabel(L"relative", other));
}

TEST(WinDevUtils, StorageDescriptorOfTheSystemDrive) {
  TStorageDeviceDescriptor d;
  ASSERT_TRUE(GetStorageDescriptor(L"C:\\", d));
  EXPECT_NE(d.BusType, 7u);
  EXPECT_FALSE(IsUsbDrive(L"C:\\"));
  EXPECT_TRUE(GetStorageDescriptor(L"\\\\.\\C:\\", d)) << "device path form";

  d.BusType = 99;
  EXPECT_FALSE(GetStorageDescriptor(MissingDrive() + L"\\", d));
  EXPECT_EQ(d.BusType, 0u) << "the descriptor is cleared";
}

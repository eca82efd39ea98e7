// DriveIdentity on Windows. The drive of a path is its drive letter ("X:"); its kind comes from
// GetDriveTypeA and, for a fixed drive, from the storage bus type the volume reports to
// IOCTL_STORAGE_QUERY_PROPERTY. The USB device below a drive is found by walking the device tree:
//
//   1. the volume's disk number (IOCTL_STORAGE_GET_DEVICE_NUMBER on "\\.\X:");
//   2. the present disk interface with the same number gives the disk's device node (interface
//      details above 1024 bytes are skipped);
//   3. up from the disk, each device started and with its driver loaded, until the parent's driver
//      service is a USB hub's: that parent is the hub, the device below it sits on one of its
//      ports and is known to the hub by its driver key name;
//   4. the hub's interface is opened, and its ports are asked for their connection, until the port
//      whose device has that driver key: its connection gives the device descriptor and speed,
//      and string requests to it the manufacturer, product and serial number.
//
// Kinds: a drive that is not fixed and whose media can be removed (removable, CD) -> NotFixed; a
// fixed drive on the USB bus -> UsbFixedDisk; any other fixed drive, a network or RAM drive, a
// path without a drive letter and a drive that cannot be told -> FixedDisk.
//
// Wine has no USB device tree, so every system call of this class goes through a table that tests
// fill with calls into a machine of their own; the code path is the real one.
#pragma once

// clang-format off
#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>
// clang-format on

#include <optional>
#include <string>
#include <string_view>

#include "platform/DriveIdentity.h"

namespace ov::platform {

struct DriveIdentityCalls {
  decltype(&::GetModuleFileNameA) getModuleFileName = ::GetModuleFileNameA;
  decltype(&::GetFullPathNameA) getFullPathName = ::GetFullPathNameA;
  decltype(&::GetDriveTypeA) getDriveType = ::GetDriveTypeA;
  decltype(&::GetVolumeInformationA) getVolumeInformation = ::GetVolumeInformationA;
  decltype(&::CreateFileA) createFileA = ::CreateFileA;
  decltype(&::CreateFileW) createFileW = ::CreateFileW;
  decltype(&::DeviceIoControl) deviceIoControl = ::DeviceIoControl;
  decltype(&::CloseHandle) closeHandle = ::CloseHandle;
  decltype(&::SetupDiGetClassDevsW) getClassDevs = ::SetupDiGetClassDevsW;
  decltype(&::SetupDiEnumDeviceInterfaces) enumDeviceInterfaces = ::SetupDiEnumDeviceInterfaces;
  decltype(&::SetupDiGetDeviceInterfaceDetailW) getDeviceInterfaceDetail =
      ::SetupDiGetDeviceInterfaceDetailW;
  decltype(&::SetupDiDestroyDeviceInfoList) destroyDeviceInfoList = ::SetupDiDestroyDeviceInfoList;
  decltype(&::CM_Get_DevNode_Status) getDevNodeStatus = ::CM_Get_DevNode_Status;
  decltype(&::CM_Get_Parent) getParent = ::CM_Get_Parent;
  decltype(&::CM_Get_DevNode_Registry_PropertyW) getDevNodeProperty =
      ::CM_Get_DevNode_Registry_PropertyW;
};

// The interface classes the walk enumerates.
inline constexpr GUID kDiskInterfaceClass = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
inline constexpr GUID kUsbHubInterfaceClass = {
    0xF18A0E88, 0xC30C, 0x11D0, {0x88, 0x15, 0x00, 0xA0, 0xC9, 0x06, 0xBE, 0xD8}};

class WindowsDriveIdentity final : public DriveIdentity {
 public:
  static constexpr DWORD kMaxInterfaceDetail = 1024;
  static constexpr int kBusTypeUsb = 7;

  explicit WindowsDriveIdentity(DriveIdentityCalls calls = {});

  std::string ExecutablePath() override;
  Kind KindOf(const std::string& path) override;
  std::optional<uint32_t> VolumeSerial(const std::string& path) override;
  std::optional<UsbDeviceFacts> UsbDevice(const std::string& path) override;

  // What the walk found, with what the interface does not carry: the hub's driver service (USB 3
  // hubs run other services than "usbhub") and the port.
  struct UsbPort {
    UsbDeviceFacts facts;
    std::wstring hubService;
    ULONG port = 0;
  };
  std::optional<UsbPort> FindUsbPort(const std::string& path);

  // The "X:" of the drive that holds `path` (made a full path first); empty without a drive letter.
  std::string DriveOf(const std::string& path);

  // True for the driver services of USB hubs, in any case.
  static bool IsUsbHubService(std::wstring_view service);

 private:
  struct HubAndPortDevice {
    DEVINST hub = 0;
    std::wstring driverKey;  // of the device on the hub's port
    std::wstring hubService;
  };

  // The storage bus type of the drive's device; nullopt when it cannot be asked.
  std::optional<int> GetDisksProperty(const std::string& drive);
  std::optional<ULONG> GetFlashFSPhysicalDiskNumber(const std::string& drive);
  std::optional<DEVINST> GetDrivesDevInstByDeviceNumber(ULONG diskNumber);
  std::optional<HubAndPortDevice> GetFlashHubAndHubPortDevices(DEVINST disk);
  std::optional<std::wstring> GetDevicesProperty(DEVINST device, ULONG property);
  std::wstring FindUsbDevPath(DEVINST hub);
  std::optional<UsbPort> EnumerateHubPorts(HANDLE hub, const std::wstring& driverKey);
  std::optional<std::wstring> PortDriverKey(HANDLE hub, ULONG port);
  std::u16string StringDescriptor(HANDLE hub, ULONG port, UCHAR index, const char* failure);

  // Calls `visit(devicePath, devInst)` for each present interface of `interfaceClass` until it
  // returns true.
  template <class Visit>
  void ForEachInterface(const GUID& interfaceClass, Visit visit);

  DriveIdentityCalls m_calls;
};

}  // namespace ov::platform

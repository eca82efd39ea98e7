#include "platform/windows/WindowsDriveIdentity.h"

// clang-format off
#include <winioctl.h>
#include <usbioctl.h>
// clang-format on

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <cwctype>
#include <vector>

#include "common/LogFacade.h"

namespace ov::platform {

namespace {

constexpr std::wstring_view kUsbHubServices[] = {
    L"USBHUB",    L"USBHUB3", L"NUSB3HUB", L"FLXHCIH",  L"TIHUB3",
    L"ETRONHUB3", L"VIAHUB3", L"ASMTHUB3", L"IUSB3HUB", L"RUSB3HUB"};

// A device tree deeper than this is taken for a broken one rather than walked forever.
constexpr int kMaxTreeDepth = 32;

constexpr DWORD kStorageDescriptorSize = 551;
// The string request asks for up to 1012 bytes, which with the request's header fill 1024.
constexpr std::size_t kStringRequestSize = 1024;
constexpr USHORT kStringRequestLength = 1012;

// The system's error boxes for drives without media would stop the program; they are turned into
// errors for this thread while a drive is asked.
class QuietCriticalErrors {
 public:
  QuietCriticalErrors() { SetThreadErrorMode(SEM_FAILCRITICALERRORS, &m_previous); }
  ~QuietCriticalErrors() { SetThreadErrorMode(m_previous, nullptr); }

 private:
  DWORD m_previous = 0;
};

class Handle {
 public:
  Handle(HANDLE handle, const DriveIdentityCalls& calls) : m_handle(handle), m_calls(calls) {}
  ~Handle() {
    if (IsOpen()) m_calls.closeHandle(m_handle);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool IsOpen() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return m_handle; }

 private:
  HANDLE m_handle;
  const DriveIdentityCalls& m_calls;
};

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return std::towupper(x) == std::towupper(y); });
}

int SpeedMbps(UCHAR speed) {
  switch (speed) {
    case UsbLowSpeed:
      return 1;
    case UsbFullSpeed:
      return 12;
    case UsbHighSpeed:
      return 480;
    case UsbSuperSpeed:
      return 5000;
    default:
      return 0;
  }
}

}  // namespace

WindowsDriveIdentity::WindowsDriveIdentity(DriveIdentityCalls calls) : m_calls(calls) {}

std::string WindowsDriveIdentity::ExecutablePath() {
  char path[MAX_PATH] = {};
  const DWORD length = m_calls.getModuleFileName(nullptr, path, MAX_PATH);
  // A cut path names another file: better none at all.
  if (length == 0 || length >= MAX_PATH) return {};
  return std::string(path, length);
}

bool WindowsDriveIdentity::IsUsbHubService(std::wstring_view service) {
  return std::any_of(std::begin(kUsbHubServices), std::end(kUsbHubServices),
                     [&](std::wstring_view hub) { return EqualIgnoringCase(service, hub); });
}

std::string WindowsDriveIdentity::DriveOf(const std::string& path) {
  if (path.empty()) return {};
  char full[MAX_PATH] = {};
  const DWORD length = m_calls.getFullPathName(path.c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string_view text(full, length);
  if (text.rfind("\\\\?\\", 0) == 0 || text.rfind("\\\\.\\", 0) == 0) text.remove_prefix(4);
  if (text.size() < 2 || !IsDriveLetter(text[0]) || text[1] != ':') return {};
  return std::string(text.substr(0, 2));
}

std::optional<int> WindowsDriveIdentity::GetDisksProperty(const std::string& drive) {
  LogScope log("WindowsDriveIdentity::GetDisksProperty");
  log.Text("Drive", drive);
  const std::string volume = "\\\\?\\" + drive;
  Handle device(m_calls.createFileA(volume.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr),
                m_calls);
  if (!device.IsOpen()) {
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return std::nullopt;
  }
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  alignas(STORAGE_DEVICE_DESCRIPTOR) std::array<std::byte, kStorageDescriptorSize> buffer{};
  DWORD returned = 0;
  if (!m_calls.deviceIoControl(device.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                               buffer.data(), kStorageDescriptorSize, &returned, nullptr) ||
      returned < offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof(STORAGE_BUS_TYPE)) {
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return std::nullopt;
  }
  const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer.data());
  log.Number("BusType", descriptor->BusType);
  return static_cast<int>(descriptor->BusType);
}

DriveIdentity::Kind WindowsDriveIdentity::KindOf(const std::string& path) {
  LogScope log("WindowsDriveIdentity::KindOf");
  QuietCriticalErrors quiet;
  const std::string drive = DriveOf(path);
  log.Text("Drive", drive);
  if (drive.empty()) return Kind::FixedDisk;  // a network path has no disk of its own
  const UINT type = m_calls.getDriveType((drive + "\\").c_str());
  log.Number("driveType", static_cast<int32_t>(type));
  switch (type) {
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM:
      return Kind::NotFixed;
    case DRIVE_FIXED:
      break;
    default:
      return Kind::FixedDisk;  // network, RAM disk, or no such drive
  }
  return GetDisksProperty(drive) == kBusTypeUsb ? Kind::UsbFixedDisk : Kind::FixedDisk;
}

std::optional<uint32_t> WindowsDriveIdentity::VolumeSerial(const std::string& path) {
  LogScope log("WindowsDriveIdentity::VolumeSerial");
  QuietCriticalErrors quiet;
  const std::string drive = DriveOf(path);
  if (drive.empty()) return std::nullopt;
  DWORD serial = 0;
  if (!m_calls.getVolumeInformation((drive + "\\").c_str(), nullptr, 0, &serial, nullptr, nullptr,
                                    nullptr, 0)) {
    log.Message("Error: GetVolumeInformationA failed");
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return std::nullopt;
  }
  log.Number("fsVolumeSerialNumber", static_cast<int32_t>(serial));
  return serial;
}

std::optional<ULONG> WindowsDriveIdentity::GetFlashFSPhysicalDiskNumber(const std::string& drive) {
  LogScope log("WindowsDriveIdentity::GetFlashFSPhysicalDiskNumber");
  const std::string volume = "\\\\.\\" + drive;
  Handle device(m_calls.createFileA(volume.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr),
                m_calls);
  STORAGE_DEVICE_NUMBER number{};
  DWORD returned = 0;
  if (!device.IsOpen() ||
      !m_calls.deviceIoControl(device.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                               sizeof number, &returned, nullptr) ||
      returned < sizeof number) {
    log.Message("Error: IOCTL_STORAGE_GET_DEVICE_NUMBER failed");
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return std::nullopt;
  }
  log.Number("DeviceNumber", static_cast<int32_t>(number.DeviceNumber));
  return number.DeviceNumber;
}

template <class Visit>
void WindowsDriveIdentity::ForEachInterface(const GUID& interfaceClass, Visit visit) {
  HDEVINFO set = m_calls.getClassDevs(&interfaceClass, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return;
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA item{};
    item.cbSize = sizeof item;
    if (!m_calls.enumDeviceInterfaces(set, nullptr, &interfaceClass, index, &item)) break;
    DWORD required = 0;
    m_calls.getDeviceInterfaceDetail(set, &item, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) || required > kMaxInterfaceDetail) {
      continue;
    }
    alignas(SP_DEVICE_INTERFACE_DETAIL_DATA_W) std::array<std::byte, kMaxInterfaceDetail> buffer{};
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!m_calls.getDeviceInterfaceDetail(set, &item, detail, required, nullptr, &device)) continue;
    // The path ends within the size the system asked for, whatever it wrote.
    const std::size_t chars =
        (required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(WCHAR);
    const std::wstring path(detail->DevicePath, wcsnlen(detail->DevicePath, chars));
    if (visit(path, device.DevInst)) break;
  }
  m_calls.destroyDeviceInfoList(set);
}

std::optional<DEVINST> WindowsDriveIdentity::GetDrivesDevInstByDeviceNumber(ULONG diskNumber) {
  LogScope log("WindowsDriveIdentity::GetDrivesDevInstByDeviceNumber");
  std::optional<DEVINST> found;
  ForEachInterface(kDiskInterfaceClass, [&](const std::wstring& path, DEVINST devInst) {
    Handle disk(m_calls.createFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr),
                m_calls);
    if (!disk.IsOpen()) return false;
    STORAGE_DEVICE_NUMBER number{};
    DWORD returned = 0;
    if (!m_calls.deviceIoControl(disk.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                                 sizeof number, &returned, nullptr) ||
        returned < sizeof number || number.DeviceNumber != diskNumber) {
      return false;
    }
    found = devInst;
    return true;
  });
  if (!found) log.Message("Error: no disk with the drive's device number");
  return found;
}

std::optional<std::wstring> WindowsDriveIdentity::GetDevicesProperty(DEVINST device,
                                                                     ULONG property) {
  std::array<WCHAR, 512> text{};
  ULONG size = sizeof text - sizeof(WCHAR);  // room for a zero the system may leave out
  if (m_calls.getDevNodeProperty(device, property, nullptr, text.data(), &size, 0) != CR_SUCCESS) {
    return std::nullopt;
  }
  const std::size_t chars = std::min<std::size_t>(size / sizeof(WCHAR), text.size() - 1);
  return std::wstring(text.data(), wcsnlen(text.data(), chars));
}

std::optional<WindowsDriveIdentity::HubAndPortDevice>
WindowsDriveIdentity::GetFlashHubAndHubPortDevices(DEVINST disk) {
  LogScope log("WindowsDriveIdentity::GetFlashHubAndHubPortDevices");
  DEVINST current = disk;
  for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
    ULONG status = 0, problem = 0;
    if (m_calls.getDevNodeStatus(&status, &problem, current, 0) != CR_SUCCESS) {
      log.Message("CM_Get_DevNode_Status failed");
      return std::nullopt;
    }
    if ((status & DN_STARTED) == 0 || (status & DN_DRIVER_LOADED) == 0) {
      log.Message("CM_Get_DevNode_Status retun status (not DN_STARTED or not DN_DRIVER_LOADED)");
      return std::nullopt;
    }
    DEVINST parent = 0;
    const CONFIGRET parentResult = m_calls.getParent(&parent, current, 0);
    if (parentResult != CR_SUCCESS) {
      log.Message("CM_Get_Parent return");
      log.Number("CONFIGRET", static_cast<int32_t>(parentResult));
      return std::nullopt;
    }
    const std::optional<std::wstring> service = GetDevicesProperty(parent, CM_DRP_SERVICE);
    if (service && IsUsbHubService(*service)) {
      const std::optional<std::wstring> driverKey = GetDevicesProperty(current, CM_DRP_DRIVER);
      if (!driverKey || driverKey->empty()) {
        log.Message("Error: the device on the hub has no driver key");
        return std::nullopt;
      }
      log.Wide("szUsbHubService", service->c_str());
      log.Wide("szDriverKeyName", driverKey->c_str());
      return HubAndPortDevice{parent, *driverKey, *service};
    }
    current = parent;
  }
  log.Message("Error: no USB hub above the disk");
  return std::nullopt;
}

std::wstring WindowsDriveIdentity::FindUsbDevPath(DEVINST hub) {
  std::wstring found;
  ForEachInterface(kUsbHubInterfaceClass, [&](const std::wstring& path, DEVINST devInst) {
    if (devInst != hub) return false;
    found = path;
    return true;
  });
  return found;
}

std::optional<std::wstring> WindowsDriveIdentity::PortDriverKey(HANDLE hub, ULONG port) {
  USB_NODE_CONNECTION_DRIVERKEY_NAME probe{};
  probe.ConnectionIndex = port;
  DWORD returned = 0;
  if (!m_calls.deviceIoControl(hub, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, &probe,
                               sizeof probe, &probe, sizeof probe, &returned, nullptr)) {
    return std::nullopt;
  }
  const ULONG size = probe.ActualLength;
  constexpr std::size_t kNameOffset = offsetof(USB_NODE_CONNECTION_DRIVERKEY_NAME, DriverKeyName);
  if (size <= kNameOffset || size > 4096) return std::nullopt;
  std::vector<ULONG> buffer((size + sizeof(ULONG) - 1) / sizeof(ULONG));
  auto* name = reinterpret_cast<USB_NODE_CONNECTION_DRIVERKEY_NAME*>(buffer.data());
  name->ConnectionIndex = port;
  if (!m_calls.deviceIoControl(hub, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, name, size, name,
                               size, &returned, nullptr) ||
      returned <= kNameOffset) {
    return std::nullopt;
  }
  const std::size_t chars = (std::min<DWORD>(returned, size) - kNameOffset) / sizeof(WCHAR);
  return std::wstring(name->DriverKeyName, wcsnlen(name->DriverKeyName, chars));
}

std::u16string WindowsDriveIdentity::StringDescriptor(HANDLE hub, ULONG port, UCHAR index,
                                                      const char* failure) {
  // Index 0 names no string: asked for, it would answer with the device's list of languages.
  if (index == 0) return {};
  LogScope log("WindowsDriveIdentity::StringDescriptor");
  alignas(USB_DESCRIPTOR_REQUEST) std::array<std::byte, kStringRequestSize> buffer{};
  auto* request = reinterpret_cast<USB_DESCRIPTOR_REQUEST*>(buffer.data());
  request->ConnectionIndex = port;
  request->SetupPacket.bmRequest = 0x80;  // device to host, standard, device
  request->SetupPacket.bRequest = USB_REQUEST_GET_DESCRIPTOR;
  request->SetupPacket.wValue = static_cast<USHORT>((USB_STRING_DESCRIPTOR_TYPE << 8) | index);
  request->SetupPacket.wIndex = 0;
  request->SetupPacket.wLength = kStringRequestLength;
  DWORD returned = 0;
  constexpr std::size_t kDataOffset = offsetof(USB_DESCRIPTOR_REQUEST, Data);
  if (!m_calls.deviceIoControl(hub, IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION, buffer.data(),
                               kStringRequestSize, buffer.data(), kStringRequestSize, &returned,
                               nullptr)) {
    log.Message(failure);
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return {};
  }
  // The descriptor's own length is believed only as far as the answer reaches.
  const std::byte* data = buffer.data() + kDataOffset;
  const std::size_t answered =
      std::min<std::size_t>(returned, kStringRequestSize) > kDataOffset
          ? std::min<std::size_t>(returned, kStringRequestSize) - kDataOffset
          : 0;
  const auto length = answered >= 2 ? static_cast<std::size_t>(data[0]) : 0;
  if (length < 2 || length > answered ||
      static_cast<UCHAR>(data[1]) != USB_STRING_DESCRIPTOR_TYPE) {
    log.Message(failure);
    return {};
  }
  std::u16string text((length - 2) / 2, u'\0');
  std::memcpy(text.data(), data + 2, text.size() * 2);
  return text;
}

std::optional<WindowsDriveIdentity::UsbPort> WindowsDriveIdentity::EnumerateHubPorts(
    HANDLE hub, const std::wstring& driverKey) {
  LogScope log("WindowsDriveIdentity::EnumerateHubPorts");
  USB_NODE_INFORMATION node{};
  DWORD returned = 0;
  if (!m_calls.deviceIoControl(hub, IOCTL_USB_GET_NODE_INFORMATION, &node, sizeof node, &node,
                               sizeof node, &returned, nullptr)) {
    log.Message("Error: IOCTL_USB_GET_NODE_INFORMATION failed");
    return std::nullopt;
  }
  const ULONG ports = node.u.HubInformation.HubDescriptor.bNumberOfPorts;
  log.Number("NumberOfPorts", static_cast<int32_t>(ports));
  for (ULONG port = 1; port <= ports; ++port) {
    USB_NODE_CONNECTION_INFORMATION_EX connection{};
    connection.ConnectionIndex = port;
    if (!m_calls.deviceIoControl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &connection,
                                 sizeof connection, &connection, sizeof connection, &returned,
                                 nullptr) ||
        connection.ConnectionStatus != DeviceConnected) {
      continue;
    }
    const std::optional<std::wstring> key = PortDriverKey(hub, port);
    if (!key || *key != driverKey) continue;

    log.Number("PortNumber", static_cast<int32_t>(port));
    UsbPort found;
    found.port = port;
    const USB_DEVICE_DESCRIPTOR& descriptor = connection.DeviceDescriptor;
    static_assert(sizeof descriptor == std::tuple_size_v<decltype(found.facts.descriptor)>);
    std::memcpy(found.facts.descriptor.data(), &descriptor, sizeof descriptor);
    found.facts.speedMbps = SpeedMbps(connection.Speed);
    found.facts.manufacturer = StringDescriptor(hub, port, descriptor.iManufacturer,
                                                "DeviceIoControl (Manufacturer) failed");
    found.facts.product =
        StringDescriptor(hub, port, descriptor.iProduct, "DeviceIoControl (Product) failed");
    found.facts.serial = StringDescriptor(hub, port, descriptor.iSerialNumber,
                                          "DeviceIoControl (SerialNumber) failed");
    return found;
  }
  log.Message("Error: no hub port holds the device");
  return std::nullopt;
}

std::optional<WindowsDriveIdentity::UsbPort> WindowsDriveIdentity::FindUsbPort(
    const std::string& path) {
  LogScope log("WindowsDriveIdentity::FindUsbPort");
  log.Text("Path", path);
  QuietCriticalErrors quiet;
  const std::string drive = DriveOf(path);
  if (drive.empty()) return std::nullopt;
  const std::optional<ULONG> diskNumber = GetFlashFSPhysicalDiskNumber(drive);
  if (!diskNumber) return std::nullopt;
  const std::optional<DEVINST> disk = GetDrivesDevInstByDeviceNumber(*diskNumber);
  if (!disk) return std::nullopt;
  const std::optional<HubAndPortDevice> devices = GetFlashHubAndHubPortDevices(*disk);
  if (!devices) return std::nullopt;
  const std::wstring hubPath = FindUsbDevPath(devices->hub);
  if (hubPath.empty()) {
    log.Message("Error: FindUsbDevPath failed");
    return std::nullopt;
  }
  Handle hub(m_calls.createFileW(hubPath.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr),
             m_calls);
  if (!hub.IsOpen()) {
    log.Message("Error: the hub cannot be opened");
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return std::nullopt;
  }
  std::optional<UsbPort> found = EnumerateHubPorts(hub.get(), devices->driverKey);
  if (found) found->hubService = devices->hubService;
  return found;
}

std::optional<UsbDeviceFacts> WindowsDriveIdentity::UsbDevice(const std::string& path) {
  std::optional<UsbPort> found = FindUsbPort(path);
  if (!found) return std::nullopt;
  return std::move(found->facts);
}

}  // namespace ov::platform

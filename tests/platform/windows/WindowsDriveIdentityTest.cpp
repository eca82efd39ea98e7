// The drive identity over a machine of the test's own: drives, disks, the device tree and USB hubs
// with their ports, answered through the same system calls the real code makes. Every test also
// checks that the code gave back every handle and device list it was given.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <winioctl.h>
#include <usbioctl.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/windows/WindowsDriveIdentity.h"

namespace ov::platform {

static void PrintTo(DriveIdentity::Kind kind, std::ostream* out) {
  static const char* const kNames[] = {"FixedDisk", "NotFixed", "UsbFixedDisk"};
  *out << kNames[static_cast<int>(kind)];
}

}  // namespace ov::platform

namespace {

using ov::platform::DriveIdentity;
using ov::platform::DriveIdentityCalls;
using ov::platform::WindowsDriveIdentity;
using Kind = DriveIdentity::Kind;

constexpr int kBusSata = 11;
constexpr int kBusUsb = 7;

struct FakeDrive {
  UINT type = DRIVE_FIXED;
  int busType = kBusSata;
  ULONG diskNumber = 0;
  DWORD volumeSerial = 0;
  bool opens = true;       // the volume can be opened for questions
  bool answersBus = true;  // the storage property query works
};

struct FakeInterface {
  std::wstring path;
  DEVINST devInst = 0;
  ULONG diskNumber = 0;  // disks only
  bool opens = true;
};

struct FakeNode {
  DEVINST parent = 0;  // 0: none
  ULONG status = DN_STARTED | DN_DRIVER_LOADED;
  bool statusFails = false;
  std::wstring service;
  std::wstring driverKey;
};

struct FakePort {
  bool connected = true;
  std::wstring driverKey;
  std::array<uint8_t, 18> descriptor{};
  UCHAR speed = UsbHighSpeed;
  std::map<UCHAR, std::u16string> strings;
  std::set<UCHAR> failing;     // string requests that fail
  std::set<UCHAR> overstated;  // strings whose descriptor claims more bytes than are sent
  std::set<UCHAR> wrongType;   // strings answered with another descriptor type
};

struct FakeHub {
  bool opens = true;
  std::vector<FakePort> ports;  // port 1 first
};

// The device lists handed out, one per interface class.
const HDEVINFO kDiskList = reinterpret_cast<HDEVINFO>(0x5000);
const HDEVINFO kHubList = reinterpret_cast<HDEVINFO>(0x6000);

class FakeMachine {
 public:
  std::string executable = "E:\\Orvanti\\orvanti.exe";
  std::string currentFolder = "E:\\Orvanti";
  std::map<char, FakeDrive> drives;
  std::vector<FakeInterface> disks;
  std::vector<FakeInterface> hubs;
  std::map<DEVINST, FakeNode> nodes;
  std::map<std::wstring, FakeHub> hubPorts;

  // What the code asked.
  std::vector<std::string> driveTypeRoots;
  std::vector<std::string> openedVolumes;
  std::vector<UCHAR> stringRequests;
  int openHandles = 0;
  int openLists = 0;

  FakeMachine() { s_current = this; }
  ~FakeMachine() { s_current = nullptr; }
  FakeMachine(const FakeMachine&) = delete;

  static DriveIdentityCalls Calls() {
    DriveIdentityCalls calls;
    calls.getModuleFileName = GetModuleFileName;
    calls.getFullPathName = GetFullPathName;
    calls.getDriveType = GetDriveType;
    calls.getVolumeInformation = GetVolumeInformation;
    calls.createFileA = CreateFileA;
    calls.createFileW = CreateFileW;
    calls.deviceIoControl = DeviceIoControl;
    calls.closeHandle = CloseHandle;
    calls.getClassDevs = GetClassDevs;
    calls.enumDeviceInterfaces = EnumDeviceInterfaces;
    calls.getDeviceInterfaceDetail = GetDeviceInterfaceDetail;
    calls.destroyDeviceInfoList = DestroyDeviceInfoList;
    calls.getDevNodeStatus = GetDevNodeStatus;
    calls.getParent = GetParent;
    calls.getDevNodeProperty = GetDevNodeProperty;
    return calls;
  }

 private:
  struct Opened {
    enum { Volume, Disk, Hub } kind;
    char drive = 0;
    std::wstring path;
    bool closed = false;
  };
  std::vector<Opened> m_opened;
  static FakeMachine* s_current;
  static FakeMachine& M() { return *s_current; }

  static HANDLE Open(Opened opened) {
    M().m_opened.push_back(std::move(opened));
    ++M().openHandles;
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x100 + M().m_opened.size() - 1));
  }
  static Opened* Find(HANDLE handle) {
    const auto index = reinterpret_cast<intptr_t>(handle) - 0x100;
    if (index < 0 || index >= static_cast<intptr_t>(M().m_opened.size())) return nullptr;
    Opened& opened = M().m_opened[index];
    return opened.closed ? nullptr : &opened;
  }
  static FakeDrive* Drive(char letter) {
    auto it = M().drives.find(static_cast<char>(std::toupper(letter)));
    return it == M().drives.end() ? nullptr : &it->second;
  }
  static BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
  }

  static DWORD WINAPI GetModuleFileName(HMODULE, LPSTR buffer, DWORD size) {
    const std::string& exe = M().executable;
    if (size == 0) return 0;
    const std::size_t copied = std::min<std::size_t>(exe.size(), size - 1);
    std::memcpy(buffer, exe.data(), copied);
    buffer[copied] = '\0';
    if (exe.size() >= size) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return size;
    }
    return static_cast<DWORD>(copied);
  }

  static DWORD WINAPI GetFullPathName(LPCSTR path, DWORD size, LPSTR buffer, LPSTR* filePart) {
    std::string full = path;
    const bool absolute = (full.size() >= 2 && full[1] == ':') || full.rfind("\\\\", 0) == 0;
    if (!absolute) full = M().currentFolder + "\\" + full;
    if (filePart != nullptr) *filePart = nullptr;
    if (full.size() + 1 > size) return static_cast<DWORD>(full.size() + 1);
    std::memcpy(buffer, full.c_str(), full.size() + 1);
    return static_cast<DWORD>(full.size());
  }

  static UINT WINAPI GetDriveType(LPCSTR root) {
    M().driveTypeRoots.push_back(root);
    const std::string text = root;
    if (text.size() != 3 || text[1] != ':' || text[2] != '\\') return DRIVE_NO_ROOT_DIR;
    FakeDrive* drive = Drive(text[0]);
    return drive != nullptr ? drive->type : DRIVE_NO_ROOT_DIR;
  }

  static BOOL WINAPI GetVolumeInformation(LPCSTR root, LPSTR, DWORD, LPDWORD serial, LPDWORD,
                                          LPDWORD, LPSTR, DWORD) {
    const std::string text = root;
    FakeDrive* drive = text.size() == 3 && text.substr(1) == ":\\" ? Drive(text[0]) : nullptr;
    if (drive == nullptr) return Fail(ERROR_PATH_NOT_FOUND);
    if (serial != nullptr) *serial = drive->volumeSerial;
    return TRUE;
  }

  static HANDLE WINAPI CreateFileA(LPCSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                   HANDLE) {
    const std::string text = name;
    M().openedVolumes.push_back(text);
    const bool volume = text.size() == 6 &&
                        (text.rfind("\\\\?\\", 0) == 0 || text.rfind("\\\\.\\", 0) == 0) &&
                        text[5] == ':';
    FakeDrive* drive = volume ? Drive(text[4]) : nullptr;
    if (drive == nullptr || !drive->opens) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    return Open({Opened::Volume, static_cast<char>(std::toupper(text[4])), {}});
  }

  static HANDLE WINAPI CreateFileW(LPCWSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                   HANDLE) {
    const std::wstring path = name;
    for (const FakeInterface& disk : M().disks) {
      if (disk.path == path && disk.opens) return Open({Opened::Disk, 0, path});
    }
    auto hub = M().hubPorts.find(path);
    if (hub != M().hubPorts.end() && hub->second.opens) return Open({Opened::Hub, 0, path});
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }

  static BOOL WINAPI CloseHandle(HANDLE handle) {
    Opened* opened = Find(handle);
    if (opened == nullptr) {
      ADD_FAILURE() << "closing a handle that is not open";
      return Fail(ERROR_INVALID_HANDLE);
    }
    opened->closed = true;
    --M().openHandles;
    return TRUE;
  }

  static BOOL DeviceNumber(ULONG number, LPVOID out, DWORD outSize, LPDWORD returned) {
    if (outSize < sizeof(STORAGE_DEVICE_NUMBER)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    STORAGE_DEVICE_NUMBER answer{FILE_DEVICE_DISK, number, 1};
    std::memcpy(out, &answer, sizeof answer);
    *returned = sizeof answer;
    return TRUE;
  }

  static BOOL VolumeControl(FakeDrive& drive, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                            DWORD outSize, LPDWORD returned) {
    if (code == IOCTL_STORAGE_GET_DEVICE_NUMBER) {
      return DeviceNumber(drive.diskNumber, out, outSize, returned);
    }
    if (code != IOCTL_STORAGE_QUERY_PROPERTY || inSize < sizeof(STORAGE_PROPERTY_QUERY)) {
      return Fail(ERROR_INVALID_FUNCTION);
    }
    const auto* query = static_cast<const STORAGE_PROPERTY_QUERY*>(in);
    if (query->PropertyId != StorageDeviceProperty || query->QueryType != PropertyStandardQuery) {
      return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!drive.answersBus) return Fail(ERROR_NOT_SUPPORTED);
    if (outSize < sizeof(STORAGE_DEVICE_DESCRIPTOR)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    STORAGE_DEVICE_DESCRIPTOR answer{};
    answer.Version = answer.Size = sizeof answer;
    answer.BusType = static_cast<STORAGE_BUS_TYPE>(drive.busType);
    std::memcpy(out, &answer, sizeof answer);
    *returned = sizeof answer;
    return TRUE;
  }

  static BOOL HubControl(FakeHub& hub, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                         DWORD outSize, LPDWORD returned) {
    if (code == IOCTL_USB_GET_NODE_INFORMATION) {
      if (outSize < sizeof(USB_NODE_INFORMATION)) return Fail(ERROR_INSUFFICIENT_BUFFER);
      USB_NODE_INFORMATION answer{};
      answer.NodeType = UsbHub;
      answer.u.HubInformation.HubDescriptor.bNumberOfPorts = static_cast<UCHAR>(hub.ports.size());
      std::memcpy(out, &answer, sizeof answer);
      *returned = sizeof answer;
      return TRUE;
    }
    if (inSize < sizeof(ULONG)) return Fail(ERROR_INVALID_PARAMETER);
    const ULONG index = *static_cast<const ULONG*>(in);
    if (index < 1 || index > hub.ports.size()) return Fail(ERROR_INVALID_PARAMETER);
    FakePort& port = hub.ports[index - 1];

    if (code == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX) {
      if (outSize < sizeof(USB_NODE_CONNECTION_INFORMATION_EX)) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
      }
      USB_NODE_CONNECTION_INFORMATION_EX answer{};
      answer.ConnectionIndex = index;
      answer.ConnectionStatus = port.connected ? DeviceConnected : NoDeviceConnected;
      if (port.connected) {
        std::memcpy(&answer.DeviceDescriptor, port.descriptor.data(), port.descriptor.size());
        answer.Speed = port.speed;
      }
      std::memcpy(out, &answer, sizeof answer);
      *returned = sizeof answer;
      return TRUE;
    }
    if (code == IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME) {
      if (!port.connected) return Fail(ERROR_DEVICE_NOT_CONNECTED);
      constexpr std::size_t kOffset = offsetof(USB_NODE_CONNECTION_DRIVERKEY_NAME, DriverKeyName);
      const ULONG needed =
          static_cast<ULONG>(kOffset + (port.driverKey.size() + 1) * sizeof(WCHAR));
      if (outSize < sizeof(USB_NODE_CONNECTION_DRIVERKEY_NAME)) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
      }
      auto* answer = static_cast<USB_NODE_CONNECTION_DRIVERKEY_NAME*>(out);
      answer->ConnectionIndex = index;
      answer->ActualLength = needed;
      if (outSize < needed) {  // the first question: how long is the name
        answer->DriverKeyName[0] = 0;
        *returned = sizeof(USB_NODE_CONNECTION_DRIVERKEY_NAME);
        return TRUE;
      }
      std::memcpy(answer->DriverKeyName, port.driverKey.c_str(),
                  (port.driverKey.size() + 1) * sizeof(WCHAR));
      *returned = needed;
      return TRUE;
    }
    if (code == IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION) {
      auto* request = static_cast<USB_DESCRIPTOR_REQUEST*>(in);
      const UCHAR type = static_cast<UCHAR>(request->SetupPacket.wValue >> 8);
      const UCHAR string = static_cast<UCHAR>(request->SetupPacket.wValue & 0xFF);
      EXPECT_EQ(type, USB_STRING_DESCRIPTOR_TYPE);
      EXPECT_EQ(request->SetupPacket.bRequest, USB_REQUEST_GET_DESCRIPTOR);
      EXPECT_EQ(request->SetupPacket.wIndex, 0);
      EXPECT_EQ(request->SetupPacket.wLength, 1012);
      EXPECT_EQ(inSize, 1024u);
      M().stringRequests.push_back(string);
      if (port.failing.count(string) != 0) return Fail(ERROR_GEN_FAILURE);
      const std::u16string text = port.strings.count(string) ? port.strings[string] : u"";
      const std::size_t length = 2 + text.size() * 2;
      constexpr std::size_t kData = offsetof(USB_DESCRIPTOR_REQUEST, Data);
      if (outSize < kData + length) return Fail(ERROR_INSUFFICIENT_BUFFER);
      auto* data = static_cast<uint8_t*>(out) + kData;
      data[0] = static_cast<uint8_t>(length + (port.overstated.count(string) ? 20 : 0));
      data[1] =
          port.wrongType.count(string) ? USB_DEVICE_DESCRIPTOR_TYPE : USB_STRING_DESCRIPTOR_TYPE;
      std::memcpy(data + 2, text.data(), text.size() * 2);
      *returned = static_cast<DWORD>(kData + length);
      return TRUE;
    }
    return Fail(ERROR_INVALID_FUNCTION);
  }

  static BOOL WINAPI DeviceIoControl(HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                     DWORD outSize, LPDWORD returned, LPOVERLAPPED) {
    Opened* opened = Find(handle);
    if (opened == nullptr) {
      ADD_FAILURE() << "control code " << code << " on a handle that is not open";
      return Fail(ERROR_INVALID_HANDLE);
    }
    *returned = 0;
    switch (opened->kind) {
      case Opened::Volume:
        return VolumeControl(*Drive(opened->drive), code, in, inSize, out, outSize, returned);
      case Opened::Disk:
        for (const FakeInterface& disk : M().disks) {
          if (disk.path == opened->path && code == IOCTL_STORAGE_GET_DEVICE_NUMBER) {
            return DeviceNumber(disk.diskNumber, out, outSize, returned);
          }
        }
        return Fail(ERROR_INVALID_FUNCTION);
      case Opened::Hub:
        return HubControl(M().hubPorts[opened->path], code, in, inSize, out, outSize, returned);
    }
    return FALSE;
  }

  static std::vector<FakeInterface>* ListOf(HDEVINFO list) {
    if (list == kDiskList) return &M().disks;
    if (list == kHubList) return &M().hubs;
    ADD_FAILURE() << "unknown device list";
    return nullptr;
  }

  static HDEVINFO WINAPI GetClassDevs(const GUID* interfaceClass, PCWSTR, HWND, DWORD flags) {
    EXPECT_EQ(flags, DWORD{DIGCF_PRESENT | DIGCF_DEVICEINTERFACE});
    ++M().openLists;
    if (IsEqualGUID(*interfaceClass, ov::platform::kDiskInterfaceClass)) return kDiskList;
    if (IsEqualGUID(*interfaceClass, ov::platform::kUsbHubInterfaceClass)) return kHubList;
    --M().openLists;
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }

  static BOOL WINAPI EnumDeviceInterfaces(HDEVINFO list, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                                          PSP_DEVICE_INTERFACE_DATA item) {
    std::vector<FakeInterface>* interfaces = ListOf(list);
    if (interfaces == nullptr || index >= interfaces->size()) return Fail(ERROR_NO_MORE_ITEMS);
    if (item->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
    item->Reserved = index;
    return TRUE;
  }

  static BOOL WINAPI GetDeviceInterfaceDetail(HDEVINFO list, PSP_DEVICE_INTERFACE_DATA item,
                                              PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD size,
                                              PDWORD required, PSP_DEVINFO_DATA device) {
    std::vector<FakeInterface>* interfaces = ListOf(list);
    if (interfaces == nullptr || item->Reserved >= interfaces->size()) {
      return Fail(ERROR_INVALID_PARAMETER);
    }
    const FakeInterface& found = (*interfaces)[item->Reserved];
    const DWORD needed =
        static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                           (found.path.size() + 1) * sizeof(WCHAR));
    if (required != nullptr) *required = needed;
    if (detail == nullptr || size < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
      return Fail(ERROR_INVALID_USER_BUFFER);
    }
    std::memcpy(detail->DevicePath, found.path.c_str(), (found.path.size() + 1) * sizeof(WCHAR));
    if (device != nullptr) {
      if (device->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
      device->DevInst = found.devInst;
    }
    return TRUE;
  }

  static BOOL WINAPI DestroyDeviceInfoList(HDEVINFO list) {
    if (ListOf(list) == nullptr) return FALSE;
    --M().openLists;
    return TRUE;
  }

  static CONFIGRET WINAPI GetDevNodeStatus(PULONG status, PULONG problem, DEVINST devInst, ULONG) {
    auto it = M().nodes.find(devInst);
    if (it == M().nodes.end() || it->second.statusFails) return CR_NO_SUCH_DEVNODE;
    *status = it->second.status;
    *problem = 0;
    return CR_SUCCESS;
  }

  static CONFIGRET WINAPI GetParent(PDEVINST parent, DEVINST devInst, ULONG) {
    auto it = M().nodes.find(devInst);
    if (it == M().nodes.end() || it->second.parent == 0) return CR_NO_SUCH_DEVNODE;
    *parent = it->second.parent;
    return CR_SUCCESS;
  }

  static CONFIGRET WINAPI GetDevNodeProperty(DEVINST devInst, ULONG property, PULONG, PVOID buffer,
                                             PULONG length, ULONG) {
    auto it = M().nodes.find(devInst);
    if (it == M().nodes.end()) return CR_NO_SUCH_DEVNODE;
    const std::wstring& text = property == CM_DRP_SERVICE  ? it->second.service
                               : property == CM_DRP_DRIVER ? it->second.driverKey
                                                           : std::wstring();
    if (text.empty()) return CR_NO_SUCH_VALUE;
    const ULONG bytes = static_cast<ULONG>((text.size() + 1) * sizeof(WCHAR));
    if (*length < bytes) {
      *length = bytes;
      return CR_BUFFER_SMALL;
    }
    std::memcpy(buffer, text.c_str(), bytes);
    *length = bytes;
    return CR_SUCCESS;
  }
};

FakeMachine* FakeMachine::s_current = nullptr;

const std::wstring kFlashDriverKey = L"{36fc9e60-c465-11cf-8056-444553540000}\\0007";
const std::wstring kFlashHub =
    L"\\\\?\\usb#root_hub30#4&2f1a3b6c&0&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
// The device descriptor as the device sends it (16-bit fields least significant byte first).
constexpr std::array<uint8_t, 18> kFlashDescriptor = {
    18,   1,    0x10, 0x02, 0,    0,    0, 64,  // bcdUSB 0x0210, bMaxPacketSize0 64
    0x81, 0x07, 0x81, 0x55, 0x00, 0x01,  // idVendor 0x0781, idProduct 0x5581, bcdDevice 0x0100
    1,    2,    3,    1};                // strings 1, 2, 3; one configuration

// A machine with an internal disk (C:, disk 0) and a USB flash drive (E:, disk 2) on port 3 of a
// USB 3 root hub:
//
//   10 disk (C:) - 11 storahci - 1 root
//   20 disk (E:) - 21 USBSTOR (on the hub's port) - 22 USBHUB3 (the hub) - 23 USBXHCI - 1 root
void BuildMachine(FakeMachine& m) {
  m.drives['C'] = {DRIVE_FIXED, kBusSata, 0, 0x0C0C0C0C};
  m.drives['E'] = {DRIVE_REMOVABLE, kBusUsb, 2, 0x1A2B3C4D};
  m.disks = {{L"\\\\?\\scsi#disk&ven_nvme#0", 10, 0}, {L"\\\\?\\usbstor#disk&ven_kelsa#2", 20, 2}};
  m.hubs = {{L"\\\\?\\usb#root_hub20#other", 40}, {kFlashHub, 22}};
  m.nodes[1] = {0, DN_STARTED | DN_DRIVER_LOADED, false, L"", L""};
  m.nodes[10] = {11, DN_STARTED | DN_DRIVER_LOADED, false, L"disk", L"{disk}\\0000"};
  m.nodes[11] = {1, DN_STARTED | DN_DRIVER_LOADED, false, L"storahci", L"{scsi}\\0000"};
  m.nodes[20] = {21, DN_STARTED | DN_DRIVER_LOADED, false, L"disk", L"{disk}\\0002"};
  m.nodes[21] = {22, DN_STARTED | DN_DRIVER_LOADED, false, L"USBSTOR", kFlashDriverKey};
  m.nodes[22] = {23, DN_STARTED | DN_DRIVER_LOADED, false, L"USBHUB3", L"{usb}\\0001"};
  m.nodes[23] = {1, DN_STARTED | DN_DRIVER_LOADED, false, L"USBXHCI", L"{usb}\\0000"};
  m.nodes[40] = {1, DN_STARTED | DN_DRIVER_LOADED, false, L"USBHUB", L"{usb}\\0009"};

  FakePort other;
  other.driverKey = L"{36fc9e60-c465-11cf-8056-444553540000}\\0003";
  other.descriptor = {18, 1, 0, 2, 0, 0, 0, 64, 0x6D, 0x04, 0x2B, 0xC5, 0, 1, 1, 2, 0, 1};
  other.strings = {{1, u"Other"}, {2, u"Mouse"}};
  FakePort flash;
  flash.driverKey = kFlashDriverKey;
  flash.descriptor = kFlashDescriptor;
  flash.strings = {{1, u"Kelsa"}, {2, u"Flash 8 \u00e9"}, {3, u"0123ABCD"}};
  FakePort empty;
  empty.connected = false;
  m.hubPorts[kFlashHub] = {true, {other, empty, flash, other}};
  m.hubPorts[L"\\\\?\\usb#root_hub20#other"] = {true, {other}};
}

class WindowsDriveIdentityTest : public ::testing::Test {
 protected:
  WindowsDriveIdentityTest() { BuildMachine(machine); }
  ~WindowsDriveIdentityTest() override {
    EXPECT_EQ(machine.openHandles, 0) << "handles left open";
    EXPECT_EQ(machine.openLists, 0) << "device lists left undestroyed";
  }
  FakeMachine machine;
  WindowsDriveIdentity drives{FakeMachine::Calls()};
};

TEST_F(WindowsDriveIdentityTest, FindsTheUsbDeviceBelowADriveThroughTheHub) {
  const auto found = drives.FindUsbPort("E:\\Orvanti\\KELSA_TOKEN_OV3");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->port, 3u);
  EXPECT_EQ(found->hubService, L"USBHUB3");
  EXPECT_EQ(found->facts.descriptor, kFlashDescriptor);
  EXPECT_EQ(found->facts.manufacturer, u"Kelsa");
  EXPECT_EQ(found->facts.product, u"Flash 8 \u00e9");
  EXPECT_EQ(found->facts.serial, u"0123ABCD");
  EXPECT_EQ(found->facts.speedMbps, 480);
  EXPECT_EQ(machine.stringRequests, (std::vector<UCHAR>{1, 2, 3}));
  EXPECT_EQ(std::count(machine.openedVolumes.begin(), machine.openedVolumes.end(), "\\\\.\\E:"), 1);

  const auto facts = drives.UsbDevice("E:\\Orvanti");
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->serial, u"0123ABCD");
  EXPECT_EQ(drives.VolumeSerial("E:\\Orvanti"), 0x1A2B3C4Du);
  EXPECT_EQ(drives.VolumeSerial("C:\\Users"), 0x0C0C0C0Cu);
  EXPECT_EQ(drives.VolumeSerial("Q:\\nothing"), std::nullopt);
  EXPECT_EQ(drives.VolumeSerial("\\\\server\\share\\x"), std::nullopt);
}

TEST_F(WindowsDriveIdentityTest, KindsOfDrives) {
  const struct {
    const char* label;
    UINT type;
    int bus;
    bool opens, answersBus;
    std::string path;
    Kind expected;
  } cases[] = {
      {"removable", DRIVE_REMOVABLE, kBusUsb, true, true, "E:\\Orvanti", Kind::NotFixed},
      {"CD", DRIVE_CDROM, kBusSata, true, true, "E:\\Orvanti", Kind::NotFixed},
      {"fixed internal", DRIVE_FIXED, kBusSata, true, true, "E:\\Orvanti", Kind::FixedDisk},
      {"fixed on USB", DRIVE_FIXED, kBusUsb, true, true, "E:\\Orvanti", Kind::UsbFixedDisk},
      {"fixed, cannot be opened", DRIVE_FIXED, kBusUsb, false, true, "E:\\Orvanti",
       Kind::FixedDisk},
      {"fixed, bus not told", DRIVE_FIXED, kBusUsb, true, false, "E:\\Orvanti", Kind::FixedDisk},
      {"network drive", DRIVE_REMOTE, kBusUsb, true, true, "E:\\Orvanti", Kind::FixedDisk},
      {"RAM disk", DRIVE_RAMDISK, kBusUsb, true, true, "E:\\Orvanti", Kind::FixedDisk},
      {"no such drive", DRIVE_REMOVABLE, kBusUsb, true, true, "Q:\\Orvanti", Kind::FixedDisk},
      {"network path", DRIVE_REMOVABLE, kBusUsb, true, true, "\\\\server\\share\\Orvanti",
       Kind::FixedDisk},
      {"long path form", DRIVE_FIXED, kBusUsb, true, true, "\\\\?\\E:\\Orvanti",
       Kind::UsbFixedDisk},
      {"relative path", DRIVE_REMOVABLE, kBusUsb, true, true, "Orvanti", Kind::NotFixed},
  };
  for (const auto& c : cases) {
    machine.drives['E'].type = c.type;
    machine.drives['E'].busType = c.bus;
    machine.drives['E'].opens = c.opens;
    machine.drives['E'].answersBus = c.answersBus;
    machine.driveTypeRoots.clear();
    machine.openedVolumes.clear();
    EXPECT_EQ(drives.KindOf(c.path), c.expected) << c.label;
    if (c.path.find("E:") != std::string::npos || c.path == "Orvanti") {
      EXPECT_EQ(machine.driveTypeRoots, std::vector<std::string>{"E:\\"}) << c.label;
      const bool asksBus = c.type == DRIVE_FIXED;
      EXPECT_EQ(machine.openedVolumes,
                asksBus ? std::vector<std::string>{"\\\\?\\E:"} : std::vector<std::string>{})
          << c.label;
    }
  }
}

TEST_F(WindowsDriveIdentityTest, NoDeviceWhereTheWayToTheHubBreaks) {
  const struct {
    const char* label;
    std::function<void(FakeMachine&)> change;
    std::string path = "E:\\Orvanti";
  } cases[] = {
      {"internal disk", [](FakeMachine&) {}, "C:\\Program Files\\Orvanti"},
      {"network path", [](FakeMachine&) {}, "\\\\server\\share\\Orvanti"},
      {"volume cannot be opened", [](FakeMachine& m) { m.drives['E'].opens = false; }},
      {"disk number not listed", [](FakeMachine& m) { m.drives['E'].diskNumber = 9; }},
      {"disk interface cannot be opened", [](FakeMachine& m) { m.disks[1].opens = false; }},
      {"disk interface detail above 1024 bytes",
       [](FakeMachine& m) { m.disks[1].path += std::wstring(520, L'x'); }},
      {"device not started", [](FakeMachine& m) { m.nodes[21].status = DN_DRIVER_LOADED; }},
      {"driver not loaded", [](FakeMachine& m) { m.nodes[20].status = DN_STARTED; }},
      {"status unknown", [](FakeMachine& m) { m.nodes[21].statusFails = true; }},
      {"no hub service above", [](FakeMachine& m) { m.nodes[22].service = L"USBHUB30"; }},
      {"a loop in the tree", [](FakeMachine& m) { m.nodes[21].parent = 20; }},
      {"device without driver key", [](FakeMachine& m) { m.nodes[21].driverKey.clear(); }},
      {"hub not among the hub interfaces", [](FakeMachine& m) { m.hubs.pop_back(); }},
      {"hub cannot be opened", [](FakeMachine& m) { m.hubPorts[kFlashHub].opens = false; }},
      {"no port holds the device",
       [](FakeMachine& m) { m.hubPorts[kFlashHub].ports[2].driverKey = L"{other}\\0001"; }},
      {"device gone from its port",
       [](FakeMachine& m) { m.hubPorts[kFlashHub].ports[2].connected = false; }},
  };
  for (const auto& c : cases) {
    FakeMachine local;
    BuildMachine(local);
    c.change(local);
    WindowsDriveIdentity identity(FakeMachine::Calls());
    EXPECT_FALSE(identity.FindUsbPort(c.path).has_value()) << c.label;
    EXPECT_EQ(local.openHandles, 0) << c.label;
    EXPECT_EQ(local.openLists, 0) << c.label;
  }
}

TEST_F(WindowsDriveIdentityTest, StringsThatCannotBeHadStayEmpty) {
  const struct {
    const char* label;
    std::function<void(FakePort&)> change;
    std::u16string manufacturer, product, serial;
    std::vector<UCHAR> requests;
  } cases[] = {
      {"serial request fails",
       [](FakePort& p) { p.failing = {3}; },
       u"Kelsa",
       u"Flash 8 \u00e9",
       u"",
       {1, 2, 3}},
      // Index 0 would answer with the device's languages, read as text.
      {"no serial number",
       [](FakePort& p) { p.descriptor[16] = 0; },
       u"Kelsa",
       u"Flash 8 \u00e9",
       u"",
       {1, 2}},
      {"no strings at all",
       [](FakePort& p) { p.descriptor[14] = p.descriptor[15] = p.descriptor[16] = 0; },
       u"",
       u"",
       u"",
       {}},
      {"product longer than its answer",
       [](FakePort& p) { p.overstated = {2}; },
       u"Kelsa",
       u"",
       u"0123ABCD",
       {1, 2, 3}},
      {"manufacturer of another type",
       [](FakePort& p) { p.wrongType = {1}; },
       u"",
       u"Flash 8 \u00e9",
       u"0123ABCD",
       {1, 2, 3}},
  };
  for (const auto& c : cases) {
    FakeMachine local;
    BuildMachine(local);
    c.change(local.hubPorts[kFlashHub].ports[2]);
    WindowsDriveIdentity identity(FakeMachine::Calls());
    const auto facts = identity.UsbDevice("E:\\Orvanti");
    ASSERT_TRUE(facts.has_value()) << c.label;
    EXPECT_EQ(facts->manufacturer, c.manufacturer) << c.label;
    EXPECT_EQ(facts->product, c.product) << c.label;
    EXPECT_EQ(facts->serial, c.serial) << c.label;
    EXPECT_EQ(local.stringRequests, c.requests) << c.label;
  }
}

TEST(WindowsDriveIdentityHubTest, HubServicesInAnyCase) {
  for (const wchar_t* hub : {L"USBHUB", L"usbhub", L"UsbHub3", L"NUSB3HUB", L"FLXHCIH", L"TIHUB3",
                             L"ETRONHUB3", L"VIAHUB3", L"ASMTHUB3", L"iusb3hub", L"RUSB3HUB"}) {
    EXPECT_TRUE(WindowsDriveIdentity::IsUsbHubService(hub)) << hub;
  }
  for (const wchar_t* other : {L"", L"USBSTOR", L"USBHUB30", L"USBHUB ", L"USBXHCI", L"disk"}) {
    EXPECT_FALSE(WindowsDriveIdentity::IsUsbHubService(other)) << other;
  }
}

TEST(WindowsDriveIdentityPathTest, ExecutablePathWholeOrNotAtAll) {
  FakeMachine machine;
  WindowsDriveIdentity fake(FakeMachine::Calls());
  machine.executable = "C:\\" + std::string(MAX_PATH - 6, 'x') + ".e";  // 259 characters
  EXPECT_EQ(fake.ExecutablePath(), machine.executable);
  machine.executable += "x";  // 260: cut by the system
  EXPECT_EQ(fake.ExecutablePath(), "");

  WindowsDriveIdentity real;
  const std::string self = real.ExecutablePath();
  ASSERT_GE(self.size(), 3u);
  EXPECT_EQ(self.substr(1, 2), ":\\") << self;
  EXPECT_TRUE(self.ends_with("\\ov_windows_platform_tests.exe")) << self;
  EXPECT_TRUE(std::filesystem::is_regular_file(self)) << self;
  // Wine shows the program on a fixed drive with no USB below it.
  EXPECT_EQ(real.DriveOf(self), self.substr(0, 2));
  EXPECT_EQ(real.KindOf(self), Kind::FixedDisk);
  EXPECT_FALSE(real.UsbDevice(self).has_value());
}

}  // namespace

#include "storage/Win_UsbFlash.h"

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <optional>

#include "common/LogFacade.h"
#include "crypto/CryptDeriveKey.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "storage/StoragePaths.h"

namespace ov {

namespace {

// Offsets of the flash identity record.
constexpr std::size_t kVolumeSerialOffset = 0;
constexpr std::size_t kDescriptorOffset = 4;
constexpr std::size_t kDescriptorSize = 18;
constexpr std::size_t kSerialLengthOffset = 22;
constexpr std::size_t kSerialOffset = 24;
constexpr std::size_t kVendorLengthOffset = 544;
constexpr std::size_t kVendorOffset = 546;
constexpr std::size_t kProductLengthOffset = 1066;
constexpr std::size_t kProductOffset = 1068;
constexpr std::size_t kStringLimit = 260;  // bytes of a string copied into the record

std::mutex g_cacheMutex;
int g_driveType = DRIVE_UNDETERMINED;
std::u16string g_usbSerial;

// The descriptor as stored in the record: fields in order, 16-bit ones most significant byte first
// (the device sends them least significant byte first).
void PutDescriptor(const std::array<uint8_t, kDescriptorSize>& wire, uint8_t* out) {
  std::copy(wire.begin(), wire.end(), out);
  for (std::size_t offset : {2u, 8u, 10u, 12u}) std::swap(out[offset], out[offset + 1]);
}

void PutString(const std::u16string& text, uint8_t* lengthByte, uint8_t* out) {
  const std::size_t bytes = text.size() * 2;
  *lengthByte = static_cast<uint8_t>(std::min<std::size_t>(bytes, 0xFF));
  const std::size_t copied = std::min(bytes, kStringLimit);
  for (std::size_t i = 0; i < copied; ++i) {  // UTF-16 little-endian, as the drive sends it
    const char16_t unit = text[i / 2];
    out[i] = static_cast<uint8_t>(i % 2 == 0 ? unit & 0xFF : unit >> 8);
  }
}

bool CreateFolder(const std::string& path, LogScope& log) {
  if (!platform::CreatePrivateFolder(path)) {
    log.Message("Error: CreateDirectoryA ");
    log.Text("FilePath", path);
    log.Number("errno", errno);
    return false;
  }
  return true;
}

}  // namespace

int Win_UsbFlash::GetActiveDriveType() {
  LogScope log("Win_UsbFlash::GetActiveDriveType");
  std::lock_guard lock(g_cacheMutex);
  if (g_driveType != DRIVE_UNDETERMINED) {
    log.Number("driveType", g_driveType);
    return log.Return(g_driveType);
  }
  std::string folder;
  if (!GetProfileDataFilePath(nullptr, folder)) {
    // The program's folder cannot be had: nothing shows that it runs from a USB drive.
    g_driveType = DRIVE_MACHINE;
    log.Number("driveType", g_driveType);
    return log.Return(g_driveType);
  }
  platform::DriveIdentity& drives = *platform::Current().driveIdentity;
  g_driveType = drives.KindOf(folder) == platform::DriveIdentity::Kind::NotFixed ? DRIVE_USBFLASH
                                                                                 : DRIVE_MACHINE;
  log.Number("driveType", g_driveType);
  // Only a disk on USB turns a machine answer into a USB one: a program folder that cannot be told
  // (255) stays on the machine drive, where token files are saved without a drive to seal them to.
  if (g_driveType == DRIVE_MACHINE && GetUSBDiskType(folder) == DRIVE_USBDRIVE) {
    g_driveType = DRIVE_USBDRIVE;
  }
  return log.Return(g_driveType);
}

int Win_UsbFlash::GetUSBDiskType(const std::string& path) {
  LogScope log("Win_UsbFlash::GetUSBDiskType");
  log.Text("Drive", path);
  if (path.empty()) return log.Return(DRIVE_UNDETERMINED);
  const bool onUsb = platform::Current().driveIdentity->UsbDevice(path).has_value();
  return log.Return(onUsb ? DRIVE_USBDRIVE : DRIVE_MACHINE);
}

bool Win_UsbFlash::GetProfileDataFilePath(const char* folder, std::string& path) {
  LogScope log("Win_UsbFlash::GetProfileDataFilePath");
  const std::string exe = platform::Current().driveIdentity->ExecutablePath();
  log.Text("strExePath", exe);
  path = platform::ParentFolder(exe);
  if (path.empty()) return log.Return(false);
  CreateFolder(path, log);
  if (folder != nullptr) {
    path = platform::JoinPath(path, folder);
    CreateFolder(path, log);
  }
  if (path.size() >= platform::kMaxPathLength) return log.Return(false);
  return log.Return(true);
}

int32_t Win_UsbFlash::BuildFlashUniqueNumber(const std::string& path, FlashId& record,
                                             bool isOv3File) {
  LogScope log("Win_UsbFlash::BuildFlashUniqueNumber");
  log.Text("Path", path);
  log.Number("isOv3File", isOv3File);
  record.fill(0);
  platform::DriveIdentity& drives = *platform::Current().driveIdentity;
  const std::optional<uint32_t> volumeSerial = drives.VolumeSerial(path);
  if (!volumeSerial) {
    log.Message("Error: GetVolumeInformationA failed");
    return log.Return(-1);
  }
  const std::optional<platform::UsbDeviceFacts> usb = drives.UsbDevice(path);
  if (!usb) {
    log.Message("Error: the drive is not a USB device");
    return log.Return(-1);
  }

  for (int i = 0; i < 4; ++i) {
    record[kVolumeSerialOffset + i] = static_cast<uint8_t>(*volumeSerial >> (24 - 8 * i));
  }
  uint8_t* descriptor = record.data() + kDescriptorOffset;
  PutDescriptor(usb->descriptor, descriptor);
  // Legacy files were keyed with the descriptor a USB 2 hub reports; a super-speed port reports
  // other values for these two fields.
  if (!isOv3File && usb->speedMbps >= 5000) {
    log.Message("Token 8.2 on USB3");
    descriptor[7] = 64;    // bMaxPacketSize0
    descriptor[2] = 0x02;  // bcdUSB 0x0210, most significant byte first
    descriptor[3] = 0x10;
  }
  PutString(usb->serial, &record[kSerialLengthOffset], record.data() + kSerialOffset);
  PutString(usb->manufacturer, &record[kVendorLengthOffset], record.data() + kVendorOffset);
  PutString(usb->product, &record[kProductLengthOffset], record.data() + kProductOffset);
  {
    std::lock_guard lock(g_cacheMutex);
    if (g_usbSerial.empty()) g_usbSerial = usb->serial.substr(0, kStringLimit);
  }
  log.Number("FLASH GUID 1. Volume Serial Number", static_cast<int32_t>(*volumeSerial));
  log.Number("FLASH GUID 2. Serial Length", record[kSerialLengthOffset]);
  log.Number("FLASH GUID 3. Vendor Length", record[kVendorLengthOffset]);
  log.Number("FLASH GUID 4. Product Length", record[kProductLengthOffset]);
  log.Number("FLASH GUID 5. USB Descriptor idVendor", descriptor[8] << 8 | descriptor[9]);
  if (isOv3File) std::fill_n(descriptor, kDescriptorSize, 0);
  return log.Return(0);
}

std::u16string Win_UsbFlash::GetFlashSerial() {
  LogScope log("Win_UsbFlash::GetFlashSerial");
  {
    std::lock_guard lock(g_cacheMutex);
    if (!g_usbSerial.empty()) return g_usbSerial;
  }
  std::string path;
  if (GetProfileDataFilePath(kTokenFolderOv3, path)) {
    FlashId scratch{};
    BuildFlashUniqueNumber(path, scratch, true);
  }
  std::lock_guard lock(g_cacheMutex);
  return g_usbSerial;
}

void Win_UsbFlash::ResetCaches() {
  std::lock_guard lock(g_cacheMutex);
  g_driveType = DRIVE_UNDETERMINED;
  g_usbSerial.clear();
}

SecureBytes Win_UsbFlash::DriveKey(std::string_view uniqueId, bool isOv3File) {
  LogScope log("Win_UsbFlash::DriveKey");
  std::string path;
  // The identity is read through a folder named after the unique ID beside the program.
  const std::string folder(uniqueId);
  if (!GetProfileDataFilePath(folder.c_str(), path)) return {};
  FlashId record{};
  if (BuildFlashUniqueNumber(path, record, isOv3File) != 0) return {};
  SecureBytes material(uniqueId.begin(), uniqueId.end());
  material.insert(material.end(), record.begin(), record.end());
  return Derive3DesKeyFromSha1(material);
}

bool Win_UsbFlash::Lock2Flash(SecureBytes& data, std::string_view uniqueId, bool isOv3File) {
  LogScope log("Win_UsbFlash::Lock2Flash");
  const SecureBytes key = DriveKey(uniqueId, isOv3File);
  if (key.empty()) return log.Return(false);
  log.Message("Before Encrypt Data:");
  log.Number("dwDataLen", static_cast<int32_t>(data.size()));
  std::optional<SecureBytes> sealed = TripleDesCbcEncrypt(key, data);
  if (!sealed) {
    log.Message("Error: CryptEncrypt failed");
    return log.Return(false);
  }
  data = std::move(*sealed);
  return log.Return(true);
}

bool Win_UsbFlash::FlashUnlock(std::span<const uint8_t> input, SecureBytes& output,
                               std::string_view uniqueId, bool isOv3File) {
  LogScope log("Win_UsbFlash::FlashUnlock");
  const SecureBytes key = DriveKey(uniqueId, isOv3File);
  if (key.empty()) return log.Return(false);
  std::optional<SecureBytes> plain = TripleDesCbcDecrypt(key, input);
  if (!plain) {
    log.Message("CryptDecrypt error");
    return log.Return(false);
  }
  output = std::move(*plain);
  return log.Return(true);
}

}  // namespace ov

// Win_UsbFlash: where the program runs from and, on a USB drive, who that drive is.
//
// The program runs installed on the machine or straight from a USB drive: a disk that reports
// removable media or is attached through USB. Anything else (a fixed disk, and file systems with no
// disk of their own such as tmpfs, overlayfs, ZFS, network or FUSE mounts) is the machine drive.
// On the machine drive token files live in the user's data folder and are bound to the user; on a
// USB drive they live beside the program and are sealed with a key derived from the drive's
// identity (the volume serial number of its file system, its USB device descriptor and its
// manufacturer, product and serial number strings), so a copy on another drive cannot be opened.
//
// The drive type and the USB serial number are found once per process; moving the program to
// another drive needs a restart (ResetCaches exists for tests that swap the platform).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov {

inline constexpr int DRIVE_MACHINE = 0;
inline constexpr int DRIVE_USBFLASH = 1;  // removable media: a USB flash drive, a memory card
inline constexpr int DRIVE_USBDRIVE = 2;  // a fixed disk attached through USB
inline constexpr int DRIVE_UNDETERMINED = 255;

// The flash identity record: the input of the drive key, byte for byte.
inline constexpr std::size_t kFlashIdSize = 1588;
using FlashId = std::array<uint8_t, kFlashIdSize>;

class Win_UsbFlash {
 public:
  static int GetActiveDriveType();
  // 2 when the file system holding `path` is on a disk attached through USB, 0 otherwise, 255 for
  // an empty path.
  static int GetUSBDiskType(const std::string& path);
  // The executable's folder, followed by "/" and `folder` when one is given; both are created
  // when missing. False when the executable's folder cannot be determined.
  static bool GetProfileDataFilePath(const char* folder, std::string& path);
  // Fills the flash identity record of the drive that holds `path`. 0 on success, -1 when the
  // drive cannot be identified (not on USB, no volume serial number).
  static int32_t BuildFlashUniqueNumber(const std::string& path, FlashId& record, bool isOv3File);
  // Encrypts `data` in place under the drive key (3DES-CBC, zero IV, PKCS#5 padding, so it grows
  // by 1 to 8 bytes). False, with `data` unchanged, when the drive cannot be identified.
  static bool Lock2Flash(SecureBytes& data, std::string_view uniqueId, bool isOv3File);
  // Decrypts what Lock2Flash wrote on the same drive. False on another drive or damaged data.
  static bool FlashUnlock(std::span<const uint8_t> input, SecureBytes& output,
                          std::string_view uniqueId, bool isOv3File);
  // The serial number string of the USB drive the program runs from (UTF-16); empty when unknown.
  static std::u16string GetFlashSerial();

  // Forgets the cached drive type and serial number.
  static void ResetCaches();

 private:
  static SecureBytes DriveKey(std::string_view uniqueId, bool isOv3File);
};

}  // namespace ov

// DriveIdentity: what kind of drive a path lives on and, for a USB drive, the facts that identify
// it: the volume serial number of its file system, its USB device descriptor and its manufacturer,
// product and serial number strings. Token files on a USB drive are sealed with a key derived from
// these facts, so a copy on another drive cannot be opened.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace ov::platform {

struct UsbDeviceFacts {
  // The device descriptor as the device sends it (16-bit fields little-endian).
  std::array<uint8_t, 18> descriptor{};
  std::u16string manufacturer;
  std::u16string product;
  std::u16string serial;
  int speedMbps = 0;  // 480 for high speed, 5000 and above for super speed
};

class DriveIdentity {
 public:
  // Only NotFixed and UsbFixedDisk make the program a copy on a USB drive, whose token files are
  // sealed to that drive; a file system without a disk of its own has no drive to seal to, so it
  // counts as the machine's.
  enum class Kind {
    FixedDisk,  // the machine's own storage: a fixed local disk that is not attached through USB,
                // and any file system with no disk below it (memory, network, overlay, FUSE) or
                // whose drive cannot be told
    NotFixed,   // a disk that reports removable media
    UsbFixedDisk,  // a fixed disk attached through USB
  };

  virtual ~DriveIdentity() = default;
  // The running program's executable; empty when it cannot be determined.
  virtual std::string ExecutablePath() = 0;
  // The kind of drive whose file system holds `path`.
  virtual Kind KindOf(const std::string& path) = 0;
  // The volume serial number of the file system that holds `path`.
  virtual std::optional<uint32_t> VolumeSerial(const std::string& path) = 0;
  // The USB device that holds `path`'s file system; nullopt when it is not on USB.
  virtual std::optional<UsbDeviceFacts> UsbDevice(const std::string& path) = 0;
};

}  // namespace ov::platform

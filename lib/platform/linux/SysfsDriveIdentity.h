// DriveIdentity on Linux. The file system that holds a path is found in the mount table; when it
// sits on a block device, that device is looked up in sysfs (/sys/dev/block/MAJ:MIN), from a
// partition to its disk (and through device-mapper layers to the disk below), and up the device
// tree to the USB device it hangs off, if any. The USB device's folder gives the raw device
// descriptor ("descriptors"), "manufacturer", "product", "serial" and "speed". The volume serial
// number comes from the file system's UUID as libblkid reports it.
//
// Drive kinds: a disk that reports removable media -> NotFixed; a non-removable disk below a USB
// device -> UsbFixedDisk; any other disk, and anything that is no disk at all (tmpfs, overlayfs,
// ZFS, network and FUSE file systems) or cannot be found -> FixedDisk.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/DriveIdentity.h"

namespace ov::platform {

// Where a path's file system comes from. Replaced in tests, together with the sysfs root.
struct FileSystemSource {
  bool blockBacked = false;
  unsigned major = 0;
  unsigned minor = 0;
  std::string uuid;  // the file system's UUID text, empty when unknown
};

class FileSystemLocator {
 public:
  virtual ~FileSystemLocator() = default;
  virtual std::optional<FileSystemSource> Locate(const std::string& path) = 0;
};

// The real locator: stat, the mount table and libblkid (with /dev/disk/by-uuid as a fallback where
// the device node cannot be read).
class MountinfoLocator final : public FileSystemLocator {
 public:
  // `mountTable` is a file in the format of /proc/self/mountinfo; tests give one of their own.
  explicit MountinfoLocator(std::string mountTable = "/proc/self/mountinfo");
  std::optional<FileSystemSource> Locate(const std::string& path) override;

 private:
  std::string m_mountTable;
};

class SysfsDriveIdentity final : public DriveIdentity {
 public:
  // `executable` stands for the running program's path when given (tests); otherwise the path is
  // read from /proc/self/exe.
  SysfsDriveIdentity(std::string sysfsRoot, std::unique_ptr<FileSystemLocator> locator,
                     std::string executable = {});

  std::string ExecutablePath() override;
  Kind KindOf(const std::string& path) override;
  std::optional<uint32_t> VolumeSerial(const std::string& path) override;
  std::optional<UsbDeviceFacts> UsbDevice(const std::string& path) override;

  // The 4 bytes of a file system UUID that serve as its volume serial number: FAT and exFAT IDs
  // ("1234-ABCD") are the number itself; NTFS serials (16 hex digits) give their low 32 bits, as
  // the volume serial of NTFS is; any other UUID gives its first 8 hex digits.
  static std::optional<uint32_t> VolumeSerialFromUuid(const std::string& uuid);

 private:
  // The sysfs folder of the whole disk under the file system of `path`; empty when there is none.
  std::string DiskFolder(const std::string& path);

  std::string m_sysfsRoot;
  std::unique_ptr<FileSystemLocator> m_locator;
  std::string m_executable;
};

}  // namespace ov::platform

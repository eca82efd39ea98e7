// Platform services for tests: a clock you set, adapters you list, a drive identity that answers
// fixed facts, and the fixture drives: on Linux a drive identity over a fake sysfs tree, on
// Windows the same facts answered directly.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/DriveIdentity.h"
#include "platform/NetworkAdapters.h"
#include "support/TestEnvironment.h"
#ifndef _WIN32
#include "platform/linux/SysfsDriveIdentity.h"
#endif

namespace ov::test {

class FakeClock final : public platform::Clock {
 public:
  explicit FakeClock(int64_t now = 1'700'000'000) : now(now) {}
  int64_t NowUnixSeconds() override { return now; }
  int64_t now;
};

class FakeNetworkAdapters final : public platform::NetworkAdapters {
 public:
  std::optional<std::vector<Adapter>> List(Family family) override {
    lastFamily = family;
    return adapters;
  }
  std::optional<std::vector<Adapter>> adapters = std::vector<Adapter>{};
  Family lastFamily = Family::Any;
};

// Answers every path with the same facts.
class FakeDriveIdentity final : public platform::DriveIdentity {
 public:
  std::string ExecutablePath() override { return executable; }
  Kind KindOf(const std::string&) override { return kind; }
  std::optional<uint32_t> VolumeSerial(const std::string&) override { return volumeSerial; }
  std::optional<platform::UsbDeviceFacts> UsbDevice(const std::string&) override { return usb; }

  std::string executable;
  Kind kind = Kind::FixedDisk;
  std::optional<uint32_t> volumeSerial;
  std::optional<platform::UsbDeviceFacts> usb;
};

// The facts of the drives of tests/data/platform/sysfs, as a drive identity over that tree gives
// them: "usb-flash" (removable, FAT ID 1A2B-3C4D, high speed), "usb-disk" (a fixed disk on USB,
// NTFS serial 0123456789ABCDEF, super speed), "internal" and "network" (no block device, as with
// tmpfs, overlayfs, NFS or FUSE).
inline std::unique_ptr<FakeDriveIdentity> FixtureFacts(const std::string& name,
                                                       const std::string& executable) {
  auto drive = std::make_unique<FakeDriveIdentity>();
  drive->executable = executable;
  platform::UsbDeviceFacts usb;
  if (name == "usb-flash") {
    drive->kind = platform::DriveIdentity::Kind::NotFixed;
    drive->volumeSerial = 0x1A2B3C4Du;
    usb.descriptor = {0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40, 0x34,
                      0x12, 0x78, 0x56, 0x26, 0x01, 0x01, 0x02, 0x03, 0x01};
    usb.manufacturer = u"Example Corp";
    usb.product = u"Pocket Drive";
    usb.serial = u"4C530001230114116283";
    usb.speedMbps = 480;
    drive->usb = usb;
  } else if (name == "usb-disk") {
    drive->kind = platform::DriveIdentity::Kind::UsbFixedDisk;
    drive->volumeSerial = 0x89ABCDEFu;
    usb.descriptor = {0x12, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00, 0x09, 0x21,
                      0x43, 0x65, 0x87, 0x26, 0x01, 0x01, 0x02, 0x03, 0x01};
    usb.manufacturer = u"Disk Maker";
    usb.product = u"Portable Disk \u00e9dition";
    usb.serial = u"NA8XKQ4Z";
    usb.speedMbps = 5000;
    drive->usb = usb;
  } else if (name == "internal") {
    drive->volumeSerial = 0x0f3c2b9eu;
  }
  return drive;
}

#ifdef _WIN32
inline std::unique_ptr<platform::DriveIdentity> FixtureDrive(const std::string& name,
                                                             const std::string& executable) {
  return FixtureFacts(name, executable);
}
#else
// Answers every path with the same file-system source.
class FixedLocator final : public platform::FileSystemLocator {
 public:
  explicit FixedLocator(std::optional<platform::FileSystemSource> source)
      : m_source(std::move(source)) {}
  std::optional<platform::FileSystemSource> Locate(const std::string&) override { return m_source; }

 private:
  std::optional<platform::FileSystemSource> m_source;
};

// The drives of tests/data/platform/sysfs, over the tree itself (see FixtureFacts).
inline std::unique_ptr<platform::SysfsDriveIdentity> FixtureDrive(const std::string& name,
                                                                  const std::string& executable) {
  platform::FileSystemSource source;
  if (name == "usb-flash") source = {true, 8, 17, "1A2B-3C4D"};
  if (name == "usb-disk") source = {true, 8, 33, "0123456789ABCDEF"};
  if (name == "internal") source = {true, 259, 2, "0f3c2b9e-55aa-4e3c-9d1e-3a7c2b1d4e5f"};
  const std::string root = (TestDataDir() / "platform" / "sysfs" / name).string();
  return std::make_unique<platform::SysfsDriveIdentity>(
      root, std::make_unique<FixedLocator>(source), executable);
}
#endif

}  // namespace ov::test

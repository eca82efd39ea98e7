#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/Platform.h"
#include "storage/Win_UsbFlash.h"
#include "support/FakePlatform.h"

namespace ov::platform {

// Names in failure messages instead of the enum's bytes.
static void PrintTo(DriveIdentity::Kind kind, std::ostream* out) {
  static const char* const kNames[] = {"FixedDisk", "NotFixed", "UsbFixedDisk"};
  *out << kNames[static_cast<int>(kind)];
}

}  // namespace ov::platform

namespace {

namespace fs = std::filesystem;
using ov::Win_UsbFlash;
using ov::platform::DriveIdentity;
using ov::platform::MountinfoLocator;
using ov::platform::SysfsDriveIdentity;

// The disk below a block-backed file system, as sysfs shows it.
struct Disk {
  const char* parent;     // the device the disk hangs off, below sysfs "devices"
  const char* name;       // the whole disk, e.g. "sda"
  const char* partition;  // the partition that holds the file system
  bool removable;
  const char* usb;  // the USB device above the disk (a prefix of `parent`); nullptr for none
};

// A machine made of files: a sysfs tree and a mount table whose mounts are folders of the test's
// home. No device number given out is the home's own, so the locator finds each folder's mount by
// its path, as it does on the real machine for a path whose device the table does not list.
class FakeMachine {
 public:
  FakeMachine() : m_root(ov::test::PrivateHome::Root() / "machine") {
    fs::remove_all(m_root);
    fs::create_directories(m_root / "sys");
    struct stat st {};
    stat(ov::test::PrivateHome::Root().c_str(), &st);
    m_home = st.st_dev;
  }

  // Mounts `fsType` from `source` on a new folder called `name`, which is returned; `disk` is the
  // disk below the file system, nullptr for one without a block device.
  fs::path Mount(const std::string& name, const std::string& fsType, const std::string& source,
                 const Disk* disk) {
    const fs::path folder = m_root / "mnt" / name;
    fs::create_directories(folder);
    const dev_t device = NextDevice(disk != nullptr ? 259 : 0);
    if (disk != nullptr) AddDisk(*disk, device);
    std::string point;  // blanks escaped as the kernel writes them
    for (char c : fs::canonical(folder).string()) {
      point += c == ' ' ? std::string("\\040") : std::string(1, c);
    }
    ++m_id;
    std::ofstream(m_root / "mountinfo", std::ios::app)
        << m_id << " 1 " << major(device) << ':' << minor(device) << " / " << point
        << " rw,relatime shared:" << m_id << " - " << fsType << ' ' << source << " rw\n";
    return folder;
  }

  std::unique_ptr<SysfsDriveIdentity> Identity(const std::string& executable) const {
    return std::make_unique<SysfsDriveIdentity>(
        (m_root / "sys").string(),
        std::make_unique<MountinfoLocator>((m_root / "mountinfo").string()), executable);
  }
  const fs::path& Root() const { return m_root; }

 private:
  dev_t NextDevice(unsigned majorNumber) {
    dev_t device;
    do {
      device = makedev(majorNumber, ++m_minor);
    } while (device == m_home);
    return device;
  }

  void AddDisk(const Disk& disk, dev_t device) {
    const fs::path sys = m_root / "sys";
    const fs::path diskFolder = fs::path("devices") / disk.parent / "block" / disk.name;
    Write(sys / diskFolder / "removable", disk.removable ? "1\n" : "0\n");
    Write(sys / diskFolder / disk.partition / "partition", "1\n");
    const fs::path link = sys / "dev" / "block" /
                          (std::to_string(major(device)) + ":" + std::to_string(minor(device)));
    fs::create_directories(link.parent_path());
    fs::create_symlink(fs::path("../..") / diskFolder / disk.partition, link);
    if (disk.usb != nullptr) {
      const fs::path usb = sys / "devices" / disk.usb;
      Write(usb / "descriptors",
            std::string("\x12\x01\x00\x02\0\0\0\x40\x34\x12\x78\x56\x26\x01\x01\x02\x03\x01", 18));
      Write(usb / "idVendor", "1234\n");
      Write(usb / "serial", "0123456789\n");
    }
  }

  static void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
  }

  fs::path m_root;
  dev_t m_home = 0;
  unsigned m_minor = 0;
  int m_id = 0;
};

// What the library makes of the drive the program runs from: its kind and the drive type that
// decides where token files live and how they are sealed.
void ExpectProgramDrive(DriveIdentity& drive, const fs::path& folder, DriveIdentity::Kind kind,
                        int driveType, const std::string& what) {
  EXPECT_EQ(drive.KindOf(folder.string()), kind) << what;
  ov::platform::ScopedPlatform scope({.driveIdentity = &drive});
  Win_UsbFlash::ResetCaches();
  EXPECT_EQ(Win_UsbFlash::GetActiveDriveType(), driveType) << what;
  Win_UsbFlash::ResetCaches();
}

TEST(DriveIdentityTest, KindOfEachFixtureDrive) {
  struct Case {
    const char* fixture;
    DriveIdentity::Kind kind;
  };
  for (const Case& c : {Case{"usb-flash", DriveIdentity::Kind::NotFixed},
                        Case{"usb-disk", DriveIdentity::Kind::UsbFixedDisk},
                        Case{"internal", DriveIdentity::Kind::FixedDisk},
                        Case{"network", DriveIdentity::Kind::FixedDisk}}) {
    EXPECT_EQ(ov::test::FixtureDrive(c.fixture, "/x/orvanti")->KindOf("/x"), c.kind) << c.fixture;
  }
}

// Only a disk that reports removable media or hangs off a USB device makes the program a copy on
// a USB drive; file systems with no disk of their own are the machine drive, so tokens can be saved
// there (a USB drive's tokens are sealed to it, and there is no drive to seal to).
TEST(DriveIdentityTest, OnlyARemovableOrUsbDiskIsAUsbDrive) {
  using Kind = DriveIdentity::Kind;
  const Disk sata{"pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", "sda", "sda2", false,
                  nullptr};
  const Disk nvme{"pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0", "nvme0n1", "nvme0n1p2", false,
                  nullptr};
  const Disk stick{"pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0", "sdb",
                   "sdb1", true, "pci0000:00/0000:00:14.0/usb1/1-2"};
  const Disk enclosure{"pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host7/target7:0:0/7:0:0:0", "sdc",
                       "sdc1", false, "pci0000:00/0000:00:14.0/usb2/2-1"};
  const Disk card{"pci0000:00/0000:00:1c.0/0000:02:00.0/mmc_host/mmc0/mmc0:aaaa", "mmcblk0",
                  "mmcblk0p1", true, nullptr};
  struct Case {
    const char* name;
    const char* fsType;
    const char* source;
    const Disk* disk;
    Kind kind;
    int driveType;
  };
  const Case cases[] = {
      {"tmpfs", "tmpfs", "tmpfs", nullptr, Kind::FixedDisk, ov::DRIVE_MACHINE},
      {"container overlay", "overlay", "overlay", nullptr, Kind::FixedDisk, ov::DRIVE_MACHINE},
      {"ZFS dataset", "zfs", "rpool/home/me", nullptr, Kind::FixedDisk, ov::DRIVE_MACHINE},
      {"NFS share", "nfs4", "fileserver:/export/home", nullptr, Kind::FixedDisk, ov::DRIVE_MACHINE},
      {"AppImage", "fuse.Orvanti.AppImage", "Orvanti.AppImage", nullptr, Kind::FixedDisk,
       ov::DRIVE_MACHINE},
      {"SATA disk", "ext4", "/dev/sda2", &sata, Kind::FixedDisk, ov::DRIVE_MACHINE},
      {"NVMe disk", "xfs", "/dev/nvme0n1p2", &nvme, Kind::FixedDisk, ov::DRIVE_MACHINE},
      {"USB stick", "vfat", "/dev/sdb1", &stick, Kind::NotFixed, ov::DRIVE_USBFLASH},
      {"disk in a USB enclosure", "exfat", "/dev/sdc1", &enclosure, Kind::UsbFixedDisk,
       ov::DRIVE_USBDRIVE},
      {"SD card in a built-in reader", "vfat", "/dev/mmcblk0p1", &card, Kind::NotFixed,
       ov::DRIVE_USBFLASH},
  };
  FakeMachine machine;
  for (const Case& c : cases) {
    const fs::path folder = machine.Mount(c.name, c.fsType, c.source, c.disk);
    ExpectProgramDrive(*machine.Identity((folder / "orvanti").string()), folder, c.kind,
                       c.driveType, c.name);
  }
  // A path the locator cannot find is no drive that could be carried away either.
  EXPECT_EQ(machine.Identity("")->KindOf((machine.Root() / "absent").string()), Kind::FixedDisk);
}

// The same on this machine's own tree, where only root may mount a file system.
TEST(DriveIdentityTest, ARealTmpfsIsTheMachineDrive) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
  const fs::path point =
      ov::test::PrivateHome::Root() / "real tmpfs";  // a blank, escaped in the table
  fs::create_directories(point);
  if (mount("tmpfs", point.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m") != 0) {
    GTEST_SKIP() << "mount -t tmpfs failed: " << std::strerror(errno);
  }
  struct Unmount {
    const fs::path& point;
    ~Unmount() { umount2(point.c_str(), MNT_DETACH); }
  } unmount{point};
  const fs::path program = point / "orvanti";
  std::ofstream(program) << "#!/bin/sh\n";

  const auto source = MountinfoLocator().Locate(program.string());
  ASSERT_TRUE(source.has_value());
  EXPECT_FALSE(source->blockBacked);
  SysfsDriveIdentity drive("/sys", std::make_unique<MountinfoLocator>(), program.string());
  ExpectProgramDrive(drive, point, DriveIdentity::Kind::FixedDisk, ov::DRIVE_MACHINE, "tmpfs");
}

TEST(DriveIdentityTest, UsbFactsComeFromTheUsbDeviceAboveThePartition) {
  auto drive = ov::test::FixtureDrive("usb-flash", "/x/orvanti");
  const auto facts = drive->UsbDevice("/x");
  ASSERT_TRUE(facts.has_value());
  const std::array<uint8_t, 18> descriptor = {0x12, 0x01, 0x00, 0x02, 0,    0, 0, 0x40, 0x34,
                                              0x12, 0x78, 0x56, 0x26, 0x01, 1, 2, 3,    1};
  EXPECT_EQ(facts->descriptor, descriptor);
  EXPECT_EQ(facts->manufacturer, u"Example Corp");
  EXPECT_EQ(facts->product, u"Pocket Drive");
  EXPECT_EQ(facts->serial, u"4C530001230114116283");
  EXPECT_EQ(facts->speedMbps, 480);
  EXPECT_EQ(ov::test::FixtureDrive("usb-disk", "")->UsbDevice("/")->product,
            u"Portable Disk \u00e9dition");
  EXPECT_FALSE(ov::test::FixtureDrive("internal", "")->UsbDevice("/").has_value());
  EXPECT_FALSE(ov::test::FixtureDrive("network", "")->UsbDevice("/").has_value());
}

TEST(DriveIdentityTest, VolumeSerialFromFileSystemIds) {
  struct Case {
    const char* uuid;
    std::optional<uint32_t> serial;
  };
  for (const Case& c :
       {Case{"1A2B-3C4D", 0x1A2B3C4D},                             // FAT, exFAT
        Case{"0123456789ABCDEF", 0x89ABCDEF},                      // NTFS: low 32 bits
        Case{"0f3c2b9e-55aa-4e3c-9d1e-3a7c2b1d4e5f", 0x0F3C2B9E},  // others: first 8
        Case{"", std::nullopt}, Case{"12-34", std::nullopt}, Case{"zz2B-3C4D", std::nullopt}}) {
    EXPECT_EQ(SysfsDriveIdentity::VolumeSerialFromUuid(c.uuid), c.serial) << c.uuid;
  }
  EXPECT_EQ(ov::test::FixtureDrive("usb-disk", "")->VolumeSerial("/"), 0x89ABCDEFu);
  EXPECT_FALSE(ov::test::FixtureDrive("network", "")->VolumeSerial("/").has_value());
}

// The Windows build's tests stand the fixture drives in with fixed facts; these must be what the
// sysfs tree gives, so that token files sealed to a fixture drive are the same on both builds.
TEST(DriveIdentityTest, FixedFactsAreThoseOfTheSysfsFixtures) {
  for (const char* name : {"usb-flash", "usb-disk", "internal", "network"}) {
    auto tree = ov::test::FixtureDrive(name, "/x/orvanti");
    auto fixed = ov::test::FixtureFacts(name, "/x/orvanti");
    EXPECT_EQ(fixed->KindOf("/x"), tree->KindOf("/x")) << name;
    EXPECT_EQ(fixed->VolumeSerial("/x"), tree->VolumeSerial("/x")) << name;
    const auto treeUsb = tree->UsbDevice("/x");
    const auto fixedUsb = fixed->UsbDevice("/x");
    ASSERT_EQ(fixedUsb.has_value(), treeUsb.has_value()) << name;
    if (!treeUsb) continue;
    EXPECT_EQ(fixedUsb->descriptor, treeUsb->descriptor) << name;
    EXPECT_EQ(fixedUsb->manufacturer, treeUsb->manufacturer) << name;
    EXPECT_EQ(fixedUsb->product, treeUsb->product) << name;
    EXPECT_EQ(fixedUsb->serial, treeUsb->serial) << name;
    EXPECT_EQ(fixedUsb->speedMbps, treeUsb->speedMbps) << name;
  }
}

TEST(DriveIdentityTest, TheRealMachineAnswersWithoutFailing) {
  // This machine's own tree: no assumption about its drives, only that the walk is sound and the
  // test executable's own folder is found on some drive.
  ov::platform::SysfsDriveIdentity drive("/sys",
                                         std::make_unique<ov::platform::MountinfoLocator>());
  EXPECT_FALSE(drive.ExecutablePath().empty());
  drive.KindOf(drive.ExecutablePath());
  drive.UsbDevice(drive.ExecutablePath());
}

}  // namespace

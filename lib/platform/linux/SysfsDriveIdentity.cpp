#include "platform/linux/SysfsDriveIdentity.h"

#include <blkid/blkid.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "common/WideText.h"

namespace ov::platform {

namespace fs = std::filesystem;

namespace {

struct MallocFree {
  void operator()(char* p) const { std::free(p); }
};
using MallocText = std::unique_ptr<char, MallocFree>;

std::string ReadSmallFile(const fs::path& path, std::size_t limit = 4096) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text(limit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(limit));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

// Mount table fields use octal escapes for blanks and the like.
std::string Unescape(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() &&
        std::isdigit(static_cast<unsigned char>(field[i + 1]))) {
      out += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

struct MountEntry {
  unsigned major = 0, minor = 0;
  std::string mountPoint, source;
};

std::vector<MountEntry> ReadMountTable(const std::string& file) {
  std::vector<MountEntry> entries;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, devno, root, mountPoint;
    if (!(fields >> id >> parent >> devno >> root >> mountPoint)) continue;
    std::string word;
    while (fields >> word && word != "-") {
    }
    std::string fsType, source;
    fields >> fsType >> source;
    MountEntry entry;
    if (std::sscanf(devno.c_str(), "%u:%u", &entry.major, &entry.minor) != 2) continue;
    entry.mountPoint = Unescape(mountPoint);
    entry.source = Unescape(source);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string UuidOf(dev_t device) {
  MallocText name(blkid_devno_to_devname(device));
  if (name) {
    MallocText uuid(blkid_get_tag_value(nullptr, "UUID", name.get()));
    if (uuid) return uuid.get();
  }
  // The device node may be closed to the user; udev's links tell the UUID all the same.
  std::error_code ec;
  for (const auto& link : fs::directory_iterator("/dev/disk/by-uuid", ec)) {
    struct stat st {};
    if (stat(link.path().c_str(), &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == device) {
      return link.path().filename().string();
    }
  }
  return {};
}

bool IsUsbDeviceFolder(const fs::path& folder) {
  std::error_code ec;
  return fs::is_regular_file(folder / "descriptors", ec) &&
         fs::is_regular_file(folder / "idVendor", ec);
}

std::string UsbFolderAbove(const std::string& disk, const std::string& sysfsRoot) {
  std::error_code ec;
  const fs::path root = fs::weakly_canonical(sysfsRoot, ec);
  for (fs::path folder = disk; !folder.empty() && folder != root && folder != folder.root_path();
       folder = folder.parent_path()) {
    if (IsUsbDeviceFolder(folder)) return folder.string();
  }
  return {};
}

}  // namespace

MountinfoLocator::MountinfoLocator(std::string mountTable) : m_mountTable(std::move(mountTable)) {}

std::optional<FileSystemSource> MountinfoLocator::Locate(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  const std::vector<MountEntry> mounts = ReadMountTable(m_mountTable);
  const MountEntry* mount = nullptr;
  for (const MountEntry& entry : mounts) {
    if (makedev(entry.major, entry.minor) == st.st_dev) {
      mount = &entry;
      break;
    }
  }
  if (mount == nullptr) {  // e.g. a btrfs subvolume: take the mount with the longest prefix
    std::error_code ec;
    const std::string canonical = fs::weakly_canonical(path, ec).string();
    std::size_t best = 0;
    for (const MountEntry& entry : mounts) {
      const std::string& point = entry.mountPoint;
      const bool under =
          canonical.compare(0, point.size(), point) == 0 &&
          (point == "/" || canonical.size() == point.size() || canonical[point.size()] == '/');
      if (under && point.size() >= best) {
        best = point.size();
        mount = &entry;
      }
    }
  }
  FileSystemSource source;
  // The mount that holds the path tells its file system's device; the path's own device number
  // serves only where the table has no such mount.
  dev_t device = mount != nullptr ? makedev(mount->major, mount->minor) : st.st_dev;
  if (major(device) == 0) {
    // Memory, network, overlay and FUSE file systems have no block device of their own; some
    // copy-on-write ones (btrfs) name the device they live on as their source.
    struct stat sourceStat {};
    if (mount == nullptr || mount->source.rfind("/dev/", 0) != 0 ||
        stat(mount->source.c_str(), &sourceStat) != 0 || !S_ISBLK(sourceStat.st_mode)) {
      return source;
    }
    device = sourceStat.st_rdev;
  }
  source.blockBacked = true;
  source.major = major(device);
  source.minor = minor(device);
  source.uuid = UuidOf(device);
  return source;
}

SysfsDriveIdentity::SysfsDriveIdentity(std::string sysfsRoot,
                                       std::unique_ptr<FileSystemLocator> locator,
                                       std::string executable)
    : m_sysfsRoot(std::move(sysfsRoot)),
      m_locator(std::move(locator)),
      m_executable(std::move(executable)) {}

std::string SysfsDriveIdentity::ExecutablePath() {
  if (!m_executable.empty()) return m_executable;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

std::string SysfsDriveIdentity::DiskFolder(const std::string& path) {
  const auto source = m_locator->Locate(path);
  if (!source || !source->blockBacked) return {};
  std::error_code ec;
  fs::path folder =
      fs::canonical(fs::path(m_sysfsRoot) / "dev" / "block" /
                        (std::to_string(source->major) + ":" + std::to_string(source->minor)),
                    ec);
  if (ec) return {};
  for (int depth = 0; depth < 8; ++depth) {
    if (fs::exists(folder / "partition", ec)) {
      folder = folder.parent_path();
      continue;
    }
    // A device-mapper or other stacked device: follow the first device below it.
    fs::directory_iterator slaves(folder / "slaves", ec);
    if (!ec && slaves != fs::directory_iterator()) {
      folder = fs::canonical(slaves->path(), ec);
      if (ec) return {};
      continue;
    }
    break;
  }
  return folder.string();
}

DriveIdentity::Kind SysfsDriveIdentity::KindOf(const std::string& path) {
  // Only a disk can be carried away with the program; a file system without one (tmpfs,
  // overlayfs, ZFS, network, FUSE), one that cannot be found and a block device that sysfs does not
  // show are the machine's, so tokens stay in the user's folder rather than beside the program.
  const auto source = m_locator->Locate(path);
  if (!source || !source->blockBacked) return Kind::FixedDisk;
  const std::string disk = DiskFolder(path);
  if (disk.empty()) return Kind::FixedDisk;
  if (Trimmed(ReadSmallFile(fs::path(disk) / "removable")) == "1") return Kind::NotFixed;
  return UsbFolderAbove(disk, m_sysfsRoot).empty() ? Kind::FixedDisk : Kind::UsbFixedDisk;
}

std::optional<uint32_t> SysfsDriveIdentity::VolumeSerialFromUuid(const std::string& uuid) {
  std::string hex;
  for (char c : uuid) {
    if (std::isxdigit(static_cast<unsigned char>(c))) {
      hex += c;
    } else if (c != '-') {
      return std::nullopt;
    }
  }
  if (hex.size() < 8) return std::nullopt;
  const std::string digits = hex.size() == 16 ? hex.substr(8) : hex.substr(0, 8);
  return static_cast<uint32_t>(std::stoul(digits, nullptr, 16));
}

std::optional<uint32_t> SysfsDriveIdentity::VolumeSerial(const std::string& path) {
  const auto source = m_locator->Locate(path);
  if (!source || !source->blockBacked) return std::nullopt;
  return VolumeSerialFromUuid(source->uuid);
}

std::optional<UsbDeviceFacts> SysfsDriveIdentity::UsbDevice(const std::string& path) {
  const std::string disk = DiskFolder(path);
  if (disk.empty()) return std::nullopt;
  const std::string usb = UsbFolderAbove(disk, m_sysfsRoot);
  if (usb.empty()) return std::nullopt;
  const std::string descriptors = ReadSmallFile(fs::path(usb) / "descriptors", 18);
  if (descriptors.size() < 18) return std::nullopt;
  UsbDeviceFacts facts;
  std::copy(descriptors.begin(), descriptors.end(), facts.descriptor.begin());
  facts.manufacturer = Utf8ToUtf16(Trimmed(ReadSmallFile(fs::path(usb) / "manufacturer")));
  facts.product = Utf8ToUtf16(Trimmed(ReadSmallFile(fs::path(usb) / "product")));
  facts.serial = Utf8ToUtf16(Trimmed(ReadSmallFile(fs::path(usb) / "serial")));
  const std::string speed = Trimmed(ReadSmallFile(fs::path(usb) / "speed"));
  facts.speedMbps = speed.empty() ? 0 : std::atoi(speed.c_str());
  return facts;
}

}  // namespace ov::platform

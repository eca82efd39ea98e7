// Platform services for tests: a clock you set, adapters you list, a file-system locator that
// answers what you tell it (for a fake sysfs tree), and a drive identity over such a tree.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/NetworkAdapters.h"
#include "platform/linux/SysfsDriveIdentity.h"
#include "support/TestEnvironment.h"

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

// Answers every path with the same file-system source.
class FixedLocator final : public platform::FileSystemLocator {
 public:
  explicit FixedLocator(std::optional<platform::FileSystemSource> source)
      : m_source(std::move(source)) {}
  std::optional<platform::FileSystemSource> Locate(const std::string&) override { return m_source; }

 private:
  std::optional<platform::FileSystemSource> m_source;
};

// The drives of tests/data/platform/sysfs: "usb-flash" (8:17, FAT ID 1A2B-3C4D), "usb-disk"
// (8:33, NTFS serial 0123456789ABCDEF), "internal" (259:2) and "network" (no block device, as
// with tmpfs, overlayfs, NFS or FUSE).
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

}  // namespace ov::test

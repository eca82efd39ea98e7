// The platform a storage or engine test runs on: the program on a chosen fixture drive
// ("internal" for the machine drive, "usb-flash" for a USB drive), listed network adapters, a
// clock the test sets and the user-bound protection (of the test's private home on Linux, DPAPI on
// Windows). Caches of the
// drive type and the device-identity list are reset on entry and exit.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/Platform.h"
#ifdef _WIN32
#include "platform/windows/WindowsUserProtect.h"
#else
#include <unistd.h>

#include "platform/linux/LinuxUserProtect.h"
#endif
#include "storage/OV3ConstantsUtil.h"
#include "storage/Win_UsbFlash.h"
#include "support/FakePlatform.h"

namespace ov::test {

class StorageEnvironment {
 public:
  explicit StorageEnvironment(const std::string& drive = "internal", const std::string& user = "me")
      : m_exeFolder(PrivateHome::Root() / ("program-" + drive)),
        m_drive(FixtureDrive(drive, (m_exeFolder / "orvanti").string())),
        m_secretFolder(PrivateHome::Root() / ("protect-" + user)),
#ifndef _WIN32
        m_protect(m_secretFolder.string(), getuid()),
#endif
        m_scope(Services()) {
    std::filesystem::create_directories(m_exeFolder);
    adapters.adapters = std::vector<platform::NetworkAdapters::Adapter>{
        {"eth0", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}}};
    Reset();
  }
  ~StorageEnvironment() { Reset(); }
  StorageEnvironment(const StorageEnvironment&) = delete;
  StorageEnvironment& operator=(const StorageEnvironment&) = delete;

  // Forgets cached drive facts and reads the adapters again.
  void Reset() {
    Win_UsbFlash::ResetCaches();
    OV3ConstantsUtil::getInstance().setMACAddress(4);
  }
  const std::filesystem::path& ExeFolder() const { return m_exeFolder; }
  // The folder of the user's secret ("user.key"; Linux only: Windows keeps it in DPAPI's keys).
  const std::filesystem::path& SecretFolder() const { return m_secretFolder; }

  FakeClock clock;
  FakeNetworkAdapters adapters;

 private:
  platform::Platform Services() {
    platform::Platform p;
    p.clock = &clock;
    p.networkAdapters = &adapters;
    p.driveIdentity = m_drive.get();
    p.userProtect = &m_protect;
    return p;
  }

  std::filesystem::path m_exeFolder;
  std::unique_ptr<platform::DriveIdentity> m_drive;
  std::filesystem::path m_secretFolder;
#ifdef _WIN32
  // Bound to the Windows user running the tests; another user cannot be played.
  platform::WindowsUserProtect m_protect;
#else
  platform::LinuxUserProtect m_protect;
#endif
  platform::ScopedPlatform m_scope;
};

}  // namespace ov::test

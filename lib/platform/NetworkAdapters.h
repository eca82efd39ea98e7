// NetworkAdapters: the hardware addresses of the machine's network interfaces, which take part in
// the device identity of token files written on the machine drive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ov::platform {

class NetworkAdapters {
 public:
  enum class Family { IPv4, IPv6, Any };
  struct Adapter {
    std::string name;
    std::vector<uint8_t> hardwareAddress;
  };

  virtual ~NetworkAdapters() = default;
  // The interfaces that hold an address of `family`, each once, in the order the system lists
  // them; loopback interfaces and empty or all-zero hardware addresses are left out. nullopt when
  // the list cannot be read at all.
  virtual std::optional<std::vector<Adapter>> List(Family family) = 0;
};

}  // namespace ov::platform

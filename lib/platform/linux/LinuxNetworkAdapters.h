// NetworkAdapters on Linux, from getifaddrs: an interface is listed when it holds an address of the
// asked family; its hardware address comes from its link-layer (AF_PACKET) entry.
#pragma once

#include "platform/NetworkAdapters.h"

namespace ov::platform {

class LinuxNetworkAdapters final : public NetworkAdapters {
 public:
  std::optional<std::vector<Adapter>> List(Family family) override;
};

}  // namespace ov::platform

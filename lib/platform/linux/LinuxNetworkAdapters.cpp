#include "platform/linux/LinuxNetworkAdapters.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/socket.h>

#include <algorithm>
#include <map>
#include <memory>

namespace ov::platform {

namespace {

struct IfaddrsFree {
  void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

bool Matches(int addressFamily, NetworkAdapters::Family family) {
  switch (family) {
    case NetworkAdapters::Family::IPv4: return addressFamily == AF_INET;
    case NetworkAdapters::Family::IPv6: return addressFamily == AF_INET6;
    case NetworkAdapters::Family::Any: return addressFamily == AF_INET || addressFamily == AF_INET6;
  }
  return false;
}

}  // namespace

std::optional<std::vector<NetworkAdapters::Adapter>> LinuxNetworkAdapters::List(Family family) {
  ifaddrs* raw = nullptr;
  if (getifaddrs(&raw) != 0) return std::nullopt;
  std::unique_ptr<ifaddrs, IfaddrsFree> list(raw);

  std::map<std::string, std::vector<uint8_t>> hardware;
  for (const ifaddrs* entry = raw; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET) continue;
    const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
    const std::size_t length = std::min<std::size_t>(link->sll_halen, sizeof link->sll_addr);
    hardware[entry->ifa_name] = std::vector<uint8_t>(link->sll_addr, link->sll_addr + length);
  }

  std::vector<Adapter> adapters;
  for (const ifaddrs* entry = raw; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || !Matches(entry->ifa_addr->sa_family, family)) continue;
    if ((entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    const std::string name = entry->ifa_name;
    const bool listed = std::any_of(adapters.begin(), adapters.end(),
                                    [&](const Adapter& a) { return a.name == name; });
    if (listed) continue;
    const auto found = hardware.find(name);
    if (found == hardware.end()) continue;
    const std::vector<uint8_t>& address = found->second;
    if (std::all_of(address.begin(), address.end(), [](uint8_t b) { return b == 0; })) continue;
    adapters.push_back({name, address});
  }
  return adapters;
}

}  // namespace ov::platform

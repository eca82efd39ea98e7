#include "platform/windows/WindowsNetworkAdapters.h"

#include <algorithm>
#include <memory>
#include <new>

#include "common/LogFacade.h"

namespace ov::platform {

namespace {

ULONG AddressFamily(NetworkAdapters::Family family) {
  switch (family) {
    case NetworkAdapters::Family::IPv4:
      return AF_INET;
    case NetworkAdapters::Family::IPv6:
      return AF_INET6;
    case NetworkAdapters::Family::Any:
      return AF_UNSPEC;
  }
  return AF_UNSPEC;
}

}  // namespace

WindowsNetworkAdapters::WindowsNetworkAdapters(GetAdaptersAddressesFn call) : m_call(call) {}

std::optional<std::vector<NetworkAdapters::Adapter>> WindowsNetworkAdapters::List(Family family) {
  LogScope log("WindowsNetworkAdapters::List");
  constexpr ULONG kFlags = GAA_FLAG_INCLUDE_PREFIX | GAA_FLAG_INCLUDE_ALL_INTERFACES;
  ULONG size = kFirstBufferSize;
  std::unique_ptr<std::byte[]> buffer;
  ULONG status = ERROR_BUFFER_OVERFLOW;
  for (int request = 0; request < kMaxRequests && status == ERROR_BUFFER_OVERFLOW; ++request) {
    if (request > 0) log.Message("GetAdaptersAddresses need buffer");
    buffer.reset(new (std::nothrow) std::byte[size]);
    if (!buffer) {
      log.Message("Memory allocation failed for IP_ADAPTER_ADDRESSES struct");
      return std::nullopt;
    }
    status = m_call(AddressFamily(family), kFlags, nullptr,
                    reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.get()), &size);
  }
  log.Number("dwRetVal", static_cast<int32_t>(status));
  if (status == ERROR_NO_DATA) return std::vector<Adapter>{};  // read, and nothing listed
  if (status != NO_ERROR) return std::nullopt;

  std::vector<Adapter> adapters;
  for (auto* entry = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.get()); entry != nullptr;
       entry = entry->Next) {
    if (entry->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
    const std::size_t length =
        std::min<std::size_t>(entry->PhysicalAddressLength, sizeof entry->PhysicalAddress);
    const uint8_t* address = entry->PhysicalAddress;
    if (std::all_of(address, address + length, [](uint8_t b) { return b == 0; })) continue;
    adapters.push_back({entry->AdapterName != nullptr ? entry->AdapterName : "",
                        std::vector<uint8_t>(address, address + length)});
  }
  return adapters;
}

}  // namespace ov::platform

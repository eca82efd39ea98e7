// NetworkAdapters on Windows, from GetAdaptersAddresses (prefixes and all interfaces included):
// the adapters the system lists for the asked family, in its order, named by their adapter name
// (a GUID) and with their physical addresses. Loopback adapters and empty or all-zero addresses are
// left out: they identify no machine.
//
// The list's size is not known in advance. The first request offers a buffer of 15 bytes; while
// the answer is that the buffer is too small, the next request offers the size the system reported,
// five requests in all. A list that cannot be had within them, or memory that cannot be had for
// it, makes List fail; the process goes on.
#pragma once

// Windows headers in the order they need each other.
// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
// clang-format on

#include "platform/NetworkAdapters.h"

namespace ov::platform {

class WindowsNetworkAdapters final : public NetworkAdapters {
 public:
  using GetAdaptersAddressesFn = ULONG(WINAPI*)(ULONG family, ULONG flags, PVOID reserved,
                                                PIP_ADAPTER_ADDRESSES addresses, PULONG size);
  static constexpr ULONG kFirstBufferSize = 15;
  static constexpr int kMaxRequests = 5;

  // `call` stands for GetAdaptersAddresses (tests give their own).
  explicit WindowsNetworkAdapters(GetAdaptersAddressesFn call = ::GetAdaptersAddresses);

  std::optional<std::vector<Adapter>> List(Family family) override;

 private:
  GetAdaptersAddressesFn m_call;
};

}  // namespace ov::platform

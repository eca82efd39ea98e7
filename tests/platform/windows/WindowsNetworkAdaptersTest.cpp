#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/windows/WindowsNetworkAdapters.h"

namespace {

using ov::platform::NetworkAdapters;
using ov::platform::WindowsNetworkAdapters;

struct FakeAdapter {
  const char* name;
  ULONG ifType;
  std::vector<uint8_t> address;
  ULONG addressLength;  // as the system reports it, which may exceed the address field
};

// Stands for GetAdaptersAddresses: a list that needs `needed` bytes and grows by 64 bytes before
// each of its first `growths` answers (adapters coming up while the list is read), or a fixed
// failure.
struct FakeSystem {
  std::vector<FakeAdapter> adapters;
  int growths = 0;
  ULONG failure = NO_ERROR;

  struct Call {
    ULONG family, flags, offered;
  };
  std::vector<Call> calls;
  ULONG needed = 0;
};
FakeSystem* g_system = nullptr;

ULONG WINAPI FakeGetAdaptersAddresses(ULONG family, ULONG flags, PVOID, PIP_ADAPTER_ADDRESSES out,
                                      PULONG size) {
  FakeSystem& system = *g_system;
  system.calls.push_back({family, flags, *size});
  if (system.failure != NO_ERROR) return system.failure;
  if (system.needed == 0) {
    system.needed =
        static_cast<ULONG>(system.adapters.size() * (sizeof(IP_ADAPTER_ADDRESSES) + 64));
  }
  if (system.growths > 0) {
    --system.growths;
    system.needed += 64;
  }
  if (*size < system.needed) {
    *size = system.needed;
    return ERROR_BUFFER_OVERFLOW;
  }
  std::memset(out, 0, *size);
  auto* entries = out;
  auto* names = reinterpret_cast<char*>(entries + system.adapters.size());
  for (std::size_t i = 0; i < system.adapters.size(); ++i) {
    const FakeAdapter& fake = system.adapters[i];
    IP_ADAPTER_ADDRESSES& entry = entries[i];
    entry.Length = sizeof entry;
    entry.IfIndex = static_cast<DWORD>(i + 1);
    entry.Next = i + 1 < system.adapters.size() ? &entries[i + 1] : nullptr;
    entry.AdapterName = std::strcpy(names, fake.name);
    names += std::strlen(fake.name) + 1;
    entry.IfType = fake.ifType;
    std::copy(fake.address.begin(), fake.address.end(), entry.PhysicalAddress);
    entry.PhysicalAddressLength = fake.addressLength;
  }
  return NO_ERROR;
}

class WindowsNetworkAdaptersTest : public ::testing::Test {
 protected:
  WindowsNetworkAdaptersTest() {
    // A machine as Windows lists it, in its order.
    system.adapters = {
        {"{loopback}", IF_TYPE_SOFTWARE_LOOPBACK, {1, 2, 3, 4, 5, 6}, 6},
        {"{ethernet}", IF_TYPE_ETHERNET_CSMACD, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, 6},
        {"{tunnel}", IF_TYPE_TUNNEL, {}, 0},
        {"{zeros}", IF_TYPE_ETHERNET_CSMACD, {0, 0, 0, 0, 0, 0}, 6},
        {"{wireless}", IF_TYPE_IEEE80211, {2, 0, 0, 0, 0, 0, 0, 8}, 8},
        {"{overlong}", IF_TYPE_ETHERNET_CSMACD, {9, 8, 7, 6, 5, 4, 3, 2}, 20},
    };
    g_system = &system;
  }
  ~WindowsNetworkAdaptersTest() override { g_system = nullptr; }

  FakeSystem system;
  WindowsNetworkAdapters adapters{FakeGetAdaptersAddresses};
};

TEST_F(WindowsNetworkAdaptersTest, ListsAdaptersWithAnAddressInTheSystemsOrder) {
  const auto list = adapters.List(NetworkAdapters::Family::IPv4);
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->size(), 3u);
  EXPECT_EQ((*list)[0].name, "{ethernet}");
  EXPECT_EQ((*list)[0].hardwareAddress, (std::vector<uint8_t>{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
  EXPECT_EQ((*list)[1].name, "{wireless}");
  EXPECT_EQ((*list)[1].hardwareAddress.size(), 8u);
  // A length beyond the address field is cut to the field.
  EXPECT_EQ((*list)[2].name, "{overlong}");
  EXPECT_EQ((*list)[2].hardwareAddress, (std::vector<uint8_t>{9, 8, 7, 6, 5, 4, 3, 2}));
}

TEST_F(WindowsNetworkAdaptersTest, AsksForTheFamilyWithPrefixesAndAllInterfaces) {
  const struct {
    NetworkAdapters::Family family;
    ULONG expected;
  } cases[] = {{NetworkAdapters::Family::IPv4, AF_INET},
               {NetworkAdapters::Family::IPv6, AF_INET6},
               {NetworkAdapters::Family::Any, AF_UNSPEC}};
  for (const auto& c : cases) {
    system.calls.clear();
    ASSERT_TRUE(adapters.List(c.family).has_value());
    ASSERT_FALSE(system.calls.empty());
    for (const auto& call : system.calls) {
      EXPECT_EQ(call.family, c.expected);
      EXPECT_EQ(call.flags, ULONG{GAA_FLAG_INCLUDE_PREFIX | GAA_FLAG_INCLUDE_ALL_INTERFACES});
    }
  }
}

// The first request offers 15 bytes; each further one the size the system reported; five in all.
TEST_F(WindowsNetworkAdaptersTest, RetriesWithTheReportedSizeFiveRequestsInAll) {
  const struct {
    int growths;
    std::size_t requests;
    bool listed;
  } cases[] = {
      {0, 2, true},   // 15 bytes, then the size asked for
      {4, 5, true},   // the list grows while it is read: the fifth request gets it
      {5, 5, false},  // still too small at the fifth request: no sixth
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.growths << " growths");
    system.calls.clear();
    system.needed = 0;
    system.growths = c.growths;
    const auto list = adapters.List(NetworkAdapters::Family::IPv4);
    EXPECT_EQ(list.has_value(), c.listed);
    ASSERT_EQ(system.calls.size(), c.requests);
    EXPECT_EQ(system.calls[0].offered, WindowsNetworkAdapters::kFirstBufferSize);
    // Every retry offers exactly what the previous answer asked for.
    for (std::size_t i = 1; i < system.calls.size(); ++i) {
      EXPECT_GT(system.calls[i].offered, system.calls[i - 1].offered) << "request " << i + 1;
    }
    if (c.listed) {
      EXPECT_EQ(system.calls.back().offered, system.needed);
    }
  }
}

TEST_F(WindowsNetworkAdaptersTest, NoAddressesIsAnEmptyListAndOtherFailuresNoList) {
  system.failure = ERROR_NO_DATA;
  const auto none = adapters.List(NetworkAdapters::Family::IPv4);
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->empty());

  for (ULONG failure : {ULONG{ERROR_INVALID_PARAMETER}, ULONG{ERROR_NOT_ENOUGH_MEMORY}}) {
    system.failure = failure;
    system.calls.clear();
    EXPECT_FALSE(adapters.List(NetworkAdapters::Family::IPv4).has_value()) << failure;
    EXPECT_EQ(system.calls.size(), 1u) << "no retry after " << failure;
  }
}

// Whatever Wine reports for this machine comes back whole and within the promises.
TEST(WindowsNetworkAdaptersSystemTest, TheSystemsListKeepsThePromises) {
  WindowsNetworkAdapters adapters;
  for (auto family : {NetworkAdapters::Family::IPv4, NetworkAdapters::Family::Any}) {
    const auto list = adapters.List(family);
    ASSERT_TRUE(list.has_value());
    std::set<std::string> names;
    for (const auto& adapter : *list) {
      EXPECT_TRUE(names.insert(adapter.name).second) << adapter.name << " twice";
      EXPECT_GE(adapter.hardwareAddress.size(), 1u);
      EXPECT_LE(adapter.hardwareAddress.size(), 8u);
      EXPECT_FALSE(std::all_of(adapter.hardwareAddress.begin(), adapter.hardwareAddress.end(),
                               [](uint8_t b) { return b == 0; }))
          << adapter.name;
    }
  }
}

}  // namespace

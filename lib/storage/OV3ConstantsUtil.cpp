#include "storage/OV3ConstantsUtil.h"

#include <cstdio>

#include "common/LogFacade.h"
#include "platform/Platform.h"

namespace ov {

OV3ConstantsUtil::OV3ConstantsUtil() { setMACAddress(4); }

OV3ConstantsUtil& OV3ConstantsUtil::getInstance() {
  static OV3ConstantsUtil instance;
  return instance;
}

void OV3ConstantsUtil::setMACAddress(int selector) {
  LogScope log("OV3ConstantsUtil::setMACAddress");
  log.Number("family", selector);
  for (auto& slot : m_slots) slot.clear();
  // Slot 0 is the same whether or not the adapters can be read: files on the machine drive are
  // written with it, and they must not stop opening while the network stack is down.
  m_slots[0] = DEVICE_SLOT0_ID;

  using Family = platform::NetworkAdapters::Family;
  const Family family = selector == 4 ? Family::IPv4 : selector == 6 ? Family::IPv6 : Family::Any;
  const auto adapters = platform::Current().networkAdapters->List(family);
  if (!adapters) {
    log.Message("Error: GetAdaptersAddresses failed");
    return;
  }
  unsigned slot = 1;
  for (const auto& adapter : *adapters) {
    if (adapter.hardwareAddress.empty()) continue;
    std::string text;
    for (uint8_t b : adapter.hardwareAddress) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%.2X-", b);
      text += hex;
    }
    log.Text("MACAddress", text);
    if (slot < kSlots) m_slots[slot++] = std::move(text);
  }
}

void OV3ConstantsUtil::setSlot(unsigned slot, std::string text) {
  if (slot < kSlots) m_slots[slot] = std::move(text);
}

std::string OV3ConstantsUtil::getMACAddress(unsigned slot) const {
  return slot < kSlots ? m_slots[slot] : std::string();
}

}  // namespace ov

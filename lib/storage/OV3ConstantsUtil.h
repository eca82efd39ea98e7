// OV3ConstantsUtil: the device-identity list of this machine, five text slots. Slot 0 holds a fixed
// text; slots 1 to 4 the hardware addresses of the first four network adapters that have an
// address of the asked family, each byte as two upper-case hex digits and "-". Keys of token files
// on the machine drive are derived with one of these texts, so a file stays readable while its
// slot's text stays the same.
//
// One list per process (getInstance), read once; setMACAddress reads the adapters again.
#pragma once

#include <array>
#include <string>

namespace ov {

inline constexpr char DEVICE_SLOT0_ID[] = "{D41F7A26-9C3E-4B81-B5E2-7A0C93D64F18}";

class OV3ConstantsUtil {
 public:
  static constexpr unsigned kSlots = 5;

  static OV3ConstantsUtil& getInstance();

  // Fills the slots from the network adapters: selector 4 takes IPv4 adapters, 6 IPv6, any other
  // value both.
  void setMACAddress(int selector);
  // The text of slot `slot`; an empty text above 4.
  std::string getMACAddress(unsigned slot) const;
  // Puts a text into a slot until the next setMACAddress: for reading files whose keys were made
  // under another device text (tests, tools).
  void setSlot(unsigned slot, std::string text);

 private:
  OV3ConstantsUtil();
  std::array<std::string, kSlots> m_slots;
};

}  // namespace ov

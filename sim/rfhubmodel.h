// The 2.4 GHz hub (kinds 3 and 4): keeps the registrations of its devices
// and answers the 2.4 GHz command set as a hub does.
//
//   ":GI"      0B 51 handsets used/capacity (16-bit each), boards used/capacity,
//              slates used/capacity, mode byte (0 idle)
//   ":GN"      10 32 name (10 bytes, zero padded) free store (4 bytes)
//   ":GD" hh   04 53 count (16-bit); hh two lower-case hex digits (06, 0d)
//   ":GR" hh   one record per registered device of the class, then OK
//   ":CS" cc   cc one of 99 (all), 06, 07, 08, 09, 0D: clears the class and
//              restarts the hub: 03 A0 00 after the reply delay, then OK
//              after the flash write
//   ":RD" id   id the 12 upper-case hex digits of uid and address: removes
//              the device and enters removal mode (mode byte 0x09, notice
//              04 56 previous 09) until ":VE"; no reply
//   ":VE"      ends the session: OK after the flash write, idle again
// Numbers are big-endian; OK is 04 32 4F 4B. Other commands, and parameters
// in any other form, get no reply.
//
// Mode bytes (":GI" byte 10 and the 04 56 notices) follow the hub's state
// tables: a mode whose end makes the host re-read its lists (01, 09, 11, 20,
// 30) is used for the sessions that change the registry. Removal is 0x09:
// leaving it schedules a re-read, entering it cancels none.
#ifndef ORVEXSIM_RFHUBMODEL_H
#define ORVEXSIM_RFHUBMODEL_H

#include <cstdint>
#include <string>
#include <vector>

#include "hubmodel.h"

namespace orvexsim {

struct RegisteredDevice {
  uint8_t deviceClass = 0;
  uint32_t uid = 0;
  uint16_t address = 0;
  std::string name;  // UTF-8
  int version = 0;   // boards only
};

class RfHubModel : public HubModel {
public:
  bool handleCommand(const Command &command, std::vector<ReplyPacket> &replies) override;
  bool hasBoard() const override;
  int boardVersion() const override;
  bool addBoard(uint32_t uid, uint16_t address, const std::string &name, int version) override;

  bool registerDevice(uint8_t deviceClass, uint32_t uid, uint16_t address, const std::string &name,
                      int version);
  bool removeDevice(uint32_t uid);
  const RegisteredDevice *find(uint32_t uid) const;
  // Devices that ":GD" counts for the class; 0 counts all.
  int count(int deviceClass) const;

  void setName(const std::string &name) { name_ = name; }
  void setCapacity(int handsets, int boards, int slates);

  uint8_t mode() const { return mode_; }
  // Changes the mode byte; when it changes, *notice receives the
  // state-changed packet 04 56 previous new and the result is true.
  bool setMode(uint8_t mode, Bytes *notice);
  // The hub restarts: idle, and the reset packet 03 A0 00 to send.
  Bytes reset();
  // 08 50 uid address for a registered device.
  bool lowBatteryPacket(uint32_t uid, Bytes *packet) const;

  static Bytes okReply() { return Bytes{0x04, 0x32, 0x4F, 0x4B}; }

  static constexpr uint8_t kModeRemoval = 0x09;

private:
  enum class Session { None, Removal };

  enum class Group { Handset, Board, Slate, None };
  static Group groupOf(uint8_t deviceClass);
  static bool inQuery(int queryClass, uint8_t deviceClass);
  int groupCount(Group g) const;
  static Bytes record(const RegisteredDevice &d);
  void clearQuery(int queryClass);

  std::vector<RegisteredDevice> devices_;
  std::string name_ = "Hub";
  int handsetCapacity_ = 512;
  int boardCapacity_ = 4;
  int slateCapacity_ = 64;
  uint8_t mode_ = 0;
  Session session_ = Session::None;
};

}  // namespace orvexsim

#endif

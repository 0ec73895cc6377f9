// The legacy hub (kinds 1 and 2), connected by USB or by a serial line. It
// keeps its radio settings, the voting handsets and slates within its reach,
// and its own session, and answers the legacy command set:
//
//   ":VT"          radio settings reply (0x68)
//   ":VR"          vote registration: each handset waiting to register
//                  sends a registration reply (0x67)
//   ":VO"          the hub forgets which handsets it listens to
//   ":VI" id(12)   the handset with that id, if it is tuned to the hub and
//                  switched on, answers with an enable reply (0x68) and is
//                  listened to again
//   ":VB", ":VM"   voting starts; ":VE" ends any session
//   ":VY" n        vote channel; ":AY" n slate channel (n + 3 on band 2)
//   ":UR" nn       board id
//   ":AR"          slate registration: each slate waiting to register asks
//                  for a PIN (0x07)
//   ":AP" ss c ddd the slate ss asked for a PIN: it echoes the PIN its
//                  learner keys in (0x07) and registers when it is ddd
//   ":AO"          ends slate registration
//   ":AB" ss pin   enables a registered slate; ":AE" disables all slates;
//                  ":AT1" turns radio slates on
//   ":RD" id(12)   the hub stops listening to one handset
//   ":VZ" n        PIN naming: handsets key in PINs (0x67)
//
// Replies come in the form of the connection: the USB form (length, code,
// data) or the serial form (0x80 | length, data, code, data..., 7 data bits
// per byte, values in 7-bit groups lowest first), one byte longer. Changing
// a channel or the board id detunes the devices of that radio: they must
// register again.
#ifndef ORVEXSIM_LEGACYHUBMODEL_H
#define ORVEXSIM_LEGACYHUBMODEL_H

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "hubmodel.h"

namespace orvexsim {

class LegacyHubModel : public HubModel {
public:
  // The hub's session, as orvexsim_legacy_session reports it.
  enum Session {
    SessionNone = 0,
    SessionVoteRegistration = 1,
    SessionSlateRegistration = 2,
    SessionSlatePin = 3,
    SessionVotingVB = 4,
    SessionVotingVM = 5,
    SessionPinNaming = 6,
  };

  // Flags of a device's state, as orvexsim_legacy_handset_state and
  // orvexsim_legacy_slate_state report them.
  enum StateFlag {
    Registered = 1,  // tuned to this hub (answers ":VI"; a slate has its PIN)
    Listened = 2,    // handsets: the hub passes its votes on; slates: enabled
    Waiting = 4,     // its learner pressed "register"
    AskedPin = 8,    // slates: asked for a PIN, waits for ":AP"
    SwitchedOff = 16,
  };

  struct Radio {
    int voteChannel = 1;   // 0..3
    int slateChannel = 1;  // 0..3
    int band = 1;          // 0..3; on band 2 channels travel as channel + 3
    int boardId = 1;       // 0..255 (USB), 0..127 (serial)
    bool rfSlates = false; // ":AT1" on, ":AE" off
  };

  // serial: the hub speaks the serial form (connection type 1); every other
  // connection speaks the USB form.
  explicit LegacyHubModel(bool serial) : serial_(serial) {}

  bool handleCommand(const Command &command, std::vector<ReplyPacket> &replies) override;
  bool hasBoard() const override { return board_; }
  int boardVersion() const override { return board_ ? boardVersion_ : -1; }
  bool addBoard(uint32_t uid, uint16_t address, const std::string &name, int version) override;

  bool serial() const { return serial_; }
  const Radio &radio() const { return radio_; }
  bool setRadio(int voteChannel, int slateChannel, int band, int boardId);
  int session() const { return session_; }

  // Largest handset id the hub's form carries (21 bits serial, 23 USB).
  uint32_t maxHandsetId() const { return serial_ ? 0x1FFFFFu : 0x7FFFFFu; }
  static constexpr int kMaxSlateId = 63;

  // Handsets: ids 1..maxHandsetId(), versions 0..127. The ones that change
  // what a running session hears append its replies.
  bool addHandset(uint32_t id, int version, bool registered);
  bool removeHandset(uint32_t id);
  bool setHandset(uint32_t id, bool on, bool batteryLow, std::vector<ReplyPacket> &replies);
  bool pressRegister(uint32_t id, std::vector<ReplyPacket> &replies);
  int handsetState(uint32_t id) const;  // flags, -1 unknown

  // Slates: ids 1..63; a PIN is three digits 1..6 ("314").
  bool addSlate(int id, bool registered, const std::string &pin);
  bool removeSlate(int id);
  bool pressSlateRegister(int id, std::vector<ReplyPacket> &replies);
  // The PIN the slate's learner keys in when the host shows one; empty:
  // the one the host shows.
  bool setSlateTypedPin(int id, const std::string &pin);
  int slateState(int id) const;  // flags, -1 unknown

  // A key press: key 1..6, or 0 for one drawn from the hub's generator.
  // Appends the copies the handset sends to out and returns 0; returns 1
  // when the hub passes nothing on (not voting, handset off or not
  // listened to), -1 for an unknown handset or key.
  int vote(uint32_t id, int key, std::vector<Bytes> &out);
  // Every listened-to handset that is switched on presses a key; copies are
  // interleaved (first copies of all, then second copies). Returns how many
  // handsets voted.
  int classVote(int key, std::vector<Bytes> &out);
  bool setVoteCopies(int copies);
  void seed(uint32_t seed) { random_.seed(seed); }

  // A handset keys in a PIN during PIN naming: up to three of 'A'..'F' and
  // ' '. Same results as vote.
  int pinNaming(uint32_t id, const std::string &text, Bytes &out);

private:
  struct Handset {
    uint32_t id = 0;
    int version = 0;
    bool on = true;
    bool batteryLow = false;
    bool registered = false;
    bool listened = false;
    bool waiting = false;
  };
  struct Slate {
    int id = 0;
    bool registered = false;
    bool enabled = false;
    bool waiting = false;
    bool askedPin = false;
    std::string pin;       // registered PIN
    std::string typedPin;  // what the learner keys in; empty: the host's PIN
  };

  Handset *findHandset(uint32_t id);
  const Handset *findHandset(uint32_t id) const;
  Slate *findSlate(int id);
  const Slate *findSlate(int id) const;
  void registerHandset(Handset &h, std::vector<ReplyPacket> &replies);
  void askForPin(Slate &s, std::vector<ReplyPacket> &replies);
  void detuneHandsets();
  void detuneSlates();
  bool setChannel(const std::string &params, int &channel);
  void answerSlatePin(const std::string &params, std::vector<ReplyPacket> &replies);
  void enableSlate(const std::string &params);

  // Wire forms.
  Bytes settingsReply() const;
  Bytes enableReply(uint32_t id) const;
  Bytes registrationReply(const Handset &h) const;
  Bytes slateRegistrationReply(int id) const;
  Bytes slatePinReply(int id, const std::string &pin) const;
  Bytes votePacket(const Handset &h, uint8_t voteByte) const;
  Bytes pinNamingReply(uint32_t id, const int digits[3]) const;

  bool serial_;
  Radio radio_;
  int session_ = SessionNone;
  std::vector<Handset> handsets_;  // in the order they were added
  std::vector<Slate> slates_;
  int voteCopies_ = 3;
  std::mt19937 random_{1};

  bool board_ = false;
  int boardVersion_ = 0;
  uint32_t boardUid_ = 0;
  uint16_t boardAddress_ = 0;
  std::string boardName_;
};

}  // namespace orvexsim

#endif

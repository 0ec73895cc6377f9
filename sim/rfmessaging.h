// How the devices of a 2.4 GHz hub exchange messages with the host: the
// asynchronous transport that expression handsets speak, the enhanced
// question protocol they run on it, and the virtual hub's generic messages.
//
// Transport, host to handset. ":XP00B" CR 03 ah al i tells the handset at
// address ah*256+al that the host's buffer i (1-255) holds a message. The
// handset asks for it fragment by fragment with data requests 03 85 i, one
// at a time; the host answers each with ":XP00C" CR L i n t f data (fragment
// n of t, f bytes, L = f + 4) or, for an empty buffer, ":XP00C" CR 03 i 01
// 00. A fragment carries no address: it answers the oldest data request
// for its buffer, and every handset fetching the same buffer hears it and
// keeps what it lacks, so handsets that fetch one shared message together
// all get it. A fragment count that changes restarts the fetch. Once it has
// all fragments the handset releases the buffer (03 86 i); an empty buffer
// ends the fetch without a release. A data request that is never answered
// is not repeated.
//
// Transport, handset to host. A get-message request 0C 84 address and 8
// bytes of device data; a message in response packets (rfpackets.h).
//
// Enhanced question protocol. When the host opens the transport, each
// expression handset that answers and runs enhanced sessions asks for the
// session parameters (request 00) after its delay; once it has them it
// asks for question 1 (01 00 01); it answers each question it receives
// after its delay and asks for the next number (the question's number plus
// one) right after; "no more questions" ends its part. Texts and pop-ups
// are only kept. A handset switched off sends FF and stops fetching and
// answering until it is switched on (it then starts over) or the transport
// is opened again.
//
// Generic messages (virtual hub). ":AE002" CR ah al n2 n1 n0 message
// reaches the registered device at that address, which answers after its
// delay as its generic reply setting says, with 00 n2 n1 n0 E1 address
// message (n the message length).
//
// All of it runs under the simulator's lock, called by the hub model.
#ifndef ORVEXSIM_RFMESSAGING_H
#define ORVEXSIM_RFMESSAGING_H

#include <cstdint>
#include <deque>
#include <map>
#include <vector>

#include "enhanced.h"
#include "rfhandsets.h"
#include "rfpackets.h"

namespace orvexsim {

// Packets a handset sends after delayUs (plus the radio's latency).
struct HandsetSend {
  uint32_t uid = 0;
  int64_t delayUs = 0;
  std::vector<Bytes> packets;
  bool radioFault = false;  // a message to the host: the handset's radio fault applies
  uint64_t epoch = 0;       // dropped when the handset's epoch has moved on
};

// Where a handset stands in an enhanced question session.
enum class EnhancedPhase {
  Idle = 0,            // transport closed, or not taking part
  WantsParameters = 1,
  WantsQuestion = 2,
  Finished = 3,        // "no more questions"
  SwitchedOff = 4,
};

struct MessagingState {
  EnhancedPhase phase = EnhancedPhase::Idle;
  int question = 0;       // the number it asks for next
  int answered = 0;       // questions answered
  int lastAnswered = -1;  // number of the last question answered
  int malformed = 0;      // host messages it could not read
  int emptyFetches = 0;   // fetches the host answered "no message"
};

class RfMessaging {
public:
  RfMessaging(const std::vector<RegisteredDevice> &devices, RfHandsets &handsets)
      : devices_(devices), handsets_(handsets) {}
  RfMessaging(const RfMessaging &) = delete;
  RfMessaging &operator=(const RfMessaging &) = delete;

  // The host opened the transport (or the generic session): every handset
  // starts afresh; with quiz, those that take part ask for the session
  // parameters.
  void open(bool quiz, std::vector<HandsetSend> &sends);

  // The blocks of ":XP00B", ":XP00C" and ":AE002"; false when a block is not
  // in its documented form (the hub then ignores the command).
  bool messageWaiting(const Bytes &block, std::vector<HandsetSend> &sends);
  bool dataFragment(const Bytes &block, std::vector<HandsetSend> &sends);
  bool genericMessage(const Bytes &block, std::vector<HandsetSend> &sends);

  // Packets of a handset left the hub: its data requests join the queue of
  // their buffer.
  void sent(uint32_t uid, const std::vector<Bytes> &packets);
  // Whether a send made in epoch is still wanted.
  bool current(uint32_t uid, uint64_t epoch) const;

  // What handset users and tests ask for. active: the hub is in the
  // session the action belongs to. -1 when the uid names no device that
  // can or an argument is invalid; 0 when nothing is sent (not active, a
  // switched-off handset, a handset already switched that way); else 1.
  int request(uint32_t uid, const Bytes &deviceData, bool active, std::vector<HandsetSend> &sends);
  // order: the packet numbers to send, in that order (repeats duplicate,
  // missing ones are lost); nullptr sends all with the radio fault.
  int sendMessage(uint32_t uid, const Bytes &message, const std::vector<int> *order, bool active,
                  std::vector<HandsetSend> &sends);
  int switchHandset(uint32_t uid, bool on, bool active, std::vector<HandsetSend> &sends);
  int sendGeneric(uint32_t uid, const Bytes &message, bool active, std::vector<HandsetSend> &sends);

  // Inspection: false / nullptr for a uid never seen since the hub started.
  bool state(uint32_t uid, MessagingState *out) const;
  // The host's messages the device received whole, oldest first.
  const std::vector<Bytes> *received(uint32_t uid) const;

  // Devices that take part in the transport and in generic messages.
  static bool speaksTransport(uint8_t deviceClass) { return deviceClass == kClassExpression; }
  static bool speaksGeneric(uint8_t deviceClass) { return deviceClass != kClassBoard; }

private:
  struct Fetch {
    uint8_t count = 0;                   // fragments of the message
    std::map<uint8_t, Bytes> fragments;  // by number, from 1
  };
  struct Handset {
    uint64_t epoch = 0;
    MessagingState state;
    std::map<uint8_t, Fetch> fetches;  // by buffer index
    std::vector<Bytes> received;
  };

  const RegisteredDevice *byUid(uint32_t uid) const;
  const RegisteredDevice *byAddress(uint16_t address, bool transport) const;
  Handset &handset(uint32_t uid);
  HandsetSend sendOf(const Handset &h, uint32_t uid, int64_t delayUs, std::vector<Bytes> packets,
                     bool radioFault) const;
  void startQuiz(const RegisteredDevice &d, Handset &h, std::vector<HandsetSend> &sends);
  // A whole message from the host reached the handset.
  void onMessage(const RegisteredDevice &d, Handset &h, const Bytes &message, std::vector<HandsetSend> &sends);

  const std::vector<RegisteredDevice> &devices_;
  RfHandsets &handsets_;
  std::map<uint32_t, Handset> handsetStates_;
  std::map<uint8_t, std::deque<uint32_t>> askers_;  // buffer index -> handsets waiting for a fragment
  uint64_t epochs_ = 0;
};

}  // namespace orvexsim

#endif

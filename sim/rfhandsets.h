// How the handsets of one 2.4 GHz hub behave: what each answers and when,
// the faults of its radio, the handsets waiting to register, and the seeded
// generator behind every random answer, key, name, PIN and delay, so that
// the same calls with the same seed give the same answers.
//
// Settings are kept for all handsets (uid 0) and per handset; a handset's
// own value of a setting wins over the value for all.
#ifndef ORVEXSIM_RFHANDSETS_H
#define ORVEXSIM_RFHANDSETS_H

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "rfpackets.h"
#include "simtypes.h"

namespace orvexsim {

enum class RadioFault {
  None = 0,
  LoseLast = 1,    // the last packet of a transmission is lost
  OutOfOrder = 2,  // the packets of a transmission arrive last first
  Duplicate = 3,   // the first packet of a transmission arrives twice
  Late = 4,        // sent even when the session ended before
};

// How a device answers the host's generic messages on a virtual hub.
enum class GenericReply {
  Silent = 0,
  Echo = 1,   // the message comes back unchanged
  Fixed = 2,  // a chosen reply
};

struct HandsetBehaviour {
  bool answers = true;
  bool fixed = false;  // answer holds the chosen answer; otherwise random
  std::string answer;  // UTF-8
  int minDelayMs = 500;
  int maxDelayMs = 4000;
  RadioFault fault = RadioFault::None;
  bool enhanced = true;  // runs enhanced question sessions by itself
  GenericReply genericReply = GenericReply::Silent;
  Bytes genericReplyBytes;  // the chosen reply
};

struct WaitingHandset {
  RegisteredDevice device;
  std::string pin;  // the three letters its user keys
};

class RfHandsets {
public:
  // Settings; uid 0 sets the value for all handsets.
  void setAnswers(uint32_t uid, bool answers);
  void setAnswer(uint32_t uid, const std::optional<std::string> &answer);
  void setDelay(uint32_t uid, int minMs, int maxMs);
  void setFault(uint32_t uid, RadioFault fault);
  void setEnhanced(uint32_t uid, bool enhanced);
  void setGenericReply(uint32_t uid, GenericReply reply, const Bytes &bytes);
  // Back to how the hub started: every handset answers at random, with the
  // hub's base delay range and no fault.
  void clearSettings();
  // The delay range a hub starts with (and returns to when cleared).
  void setBaseDelay(int minMs, int maxMs);
  void seed(uint32_t seed) { random_.seed(seed); }
  // Weighted random answers of a question kind (0: the keys of votes), for
  // handsets without a chosen answer; an empty list removes them.
  void setDistribution(int kind, std::vector<std::pair<std::string, int>> choices);
  HandsetBehaviour behaviour(uint32_t uid) const;

  // Random draws.
  int64_t delayUs(const HandsetBehaviour &b);
  // The answer bytes of a handset to a question (for end-user naming: its
  // new name in UTF-8).
  Bytes answer(const HandsetBehaviour &b, const Question &q);
  // The key (1-6) a voting handset presses: key if 1-6, else its chosen
  // answer (A-F or 1-6), else a random key.
  int key(const HandsetBehaviour &b, int key);
  // A name: the given one, else the chosen answer, else a random one;
  // cut to maxChars characters.
  std::string name(const HandsetBehaviour &b, const std::optional<std::string> &given, size_t maxChars,
                   uint8_t characterType = 0);
  // A PIN of count letters A-F (1-4), unless one is given.
  std::string pin(const std::optional<std::string> &given, int count);

  static void applyFault(RadioFault fault, std::vector<Bytes> &packets);

  // Handsets waiting to register.
  bool addWaiting(const WaitingHandset &w);
  const WaitingHandset *findWaiting(uint32_t uid) const;
  // The PIN the waiting handset's user keys (uid 0: every waiting handset);
  // false when the uid names no waiting handset.
  bool setWaitingPin(uint32_t uid, const std::string &pin);
  void removeWaiting(uint32_t uid);
  const std::vector<WaitingHandset> &waiting() const { return waiting_; }

private:
  struct Own {
    std::optional<bool> answers;
    std::optional<std::optional<std::string>> answer;
    std::optional<std::pair<int, int>> delay;
    std::optional<RadioFault> fault;
    std::optional<bool> enhanced;
    std::optional<std::pair<GenericReply, Bytes>> genericReply;
  };
  int uniform(int low, int high);
  // An answer drawn from the kind's distribution, if it has one.
  std::optional<std::string> drawDistribution(int kind);
  std::string pick(const char *const *list, size_t count);

  HandsetBehaviour base_;
  HandsetBehaviour all_;
  std::map<uint32_t, Own> own_;
  std::vector<WaitingHandset> waiting_;
  std::map<int, std::vector<std::pair<std::string, int>>> distributions_;
  std::mt19937 random_{1};
};

}  // namespace orvexsim

#endif

#include "legacyhubmodel.h"

namespace orvexsim {

bool LegacyHubModel::handleCommand(const Command &, std::vector<ReplyPacket> &) { return false; }

bool LegacyHubModel::addBoard(uint32_t uid, uint16_t address, const std::string &name, int version) {
  board_ = true;
  boardUid_ = uid;
  boardAddress_ = address;
  boardName_ = name;
  boardVersion_ = version;
  return true;
}

}  // namespace orvexsim

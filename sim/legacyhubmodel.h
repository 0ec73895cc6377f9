// The legacy hub (kinds 1 and 2, serial or USB). Its board is modelled; its
// own command protocol is not yet: every command other than the board's is
// recorded by the simulator and left unanswered. handleCommand is where the
// legacy replies are to be produced.
#ifndef ORVEXSIM_LEGACYHUBMODEL_H
#define ORVEXSIM_LEGACYHUBMODEL_H

#include <cstdint>
#include <string>

#include "hubmodel.h"

namespace orvexsim {

class LegacyHubModel : public HubModel {
public:
  bool handleCommand(const Command &command, std::vector<ReplyPacket> &replies) override;
  bool hasBoard() const override { return board_; }
  int boardVersion() const override { return board_ ? boardVersion_ : -1; }
  bool addBoard(uint32_t uid, uint16_t address, const std::string &name, int version) override;

private:
  bool board_ = false;
  int boardVersion_ = 0;
  uint32_t boardUid_ = 0;
  uint16_t boardAddress_ = 0;
  std::string boardName_;
};

}  // namespace orvexsim

#endif

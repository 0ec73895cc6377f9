// The control interface of legacy hubs: their radio settings, the handsets
// and slates within their reach, key presses and PIN naming.
#include "legacyhubmodel.h"
#include "orvexsim.h"
#include "simulator.h"
#include "text.h"

namespace orvexsim {

int Simulator::withLegacyHub(int32_t handle, bool sending, const LegacyAction &action) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  auto *model = hub ? dynamic_cast<LegacyHubModel *>(hub->model.get()) : nullptr;
  if (!model || (sending && !hub->plugged)) return -1;
  LegacyOutput out;
  const int result = action(*model, out);
  scheduleRepliesLocked(*hub, out.replies);
  Clock::time_point at = Clock::now();
  for (Bytes &packet : out.presses) {
    schedulePacketLocked(*hub, std::move(packet), at);
    at += std::chrono::microseconds(hub->packetGapUs);
  }
  return result;
}

}  // namespace orvexsim

using orvexsim::LegacyHubModel;
using orvexsim::Simulator;

namespace {

Simulator &sim() { return Simulator::instance(); }

int legacy(int32_t handle, const Simulator::LegacyAction &action) { return sim().withLegacyHub(handle, false, action); }

int legacySending(int32_t handle, const Simulator::LegacyAction &action) {
  return sim().withLegacyHub(handle, true, action);
}

int result(bool ok) { return ok ? 0 : -1; }

}  // namespace

extern "C" {

int orvexsim_legacy_set_radio(int32_t handle, int voteChannel, int slateChannel, int band, int boardId) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &) {
    return result(m.setRadio(voteChannel, slateChannel, band, boardId));
  });
}

int orvexsim_legacy_get_radio(int32_t handle, int *voteChannel, int *slateChannel, int *band, int *boardId,
                              int *rfSlates) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &) {
    const LegacyHubModel::Radio &r = m.radio();
    if (voteChannel) *voteChannel = r.voteChannel;
    if (slateChannel) *slateChannel = r.slateChannel;
    if (band) *band = r.band;
    if (boardId) *boardId = r.boardId;
    if (rfSlates) *rfSlates = r.rfSlates ? 1 : 0;
    return 0;
  });
}

int orvexsim_legacy_session(int32_t handle) {
  return legacy(handle, [](LegacyHubModel &m, Simulator::LegacyOutput &) { return m.session(); });
}

int orvexsim_legacy_add_handset(int32_t handle, uint32_t id, int version, int registered) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &) {
    return result(m.addHandset(id, version, registered != 0));
  });
}

int orvexsim_legacy_remove_handset(int32_t handle, uint32_t id) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &) { return result(m.removeHandset(id)); });
}

int orvexsim_legacy_set_handset(int32_t handle, uint32_t id, int switchedOn, int batteryLow) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &out) {
    return result(m.setHandset(id, switchedOn != 0, batteryLow != 0, out.replies));
  });
}

int orvexsim_legacy_press_register(int32_t handle, uint32_t id) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &out) {
    return result(m.pressRegister(id, out.replies));
  });
}

int orvexsim_legacy_handset_state(int32_t handle, uint32_t id) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &) { return m.handsetState(id); });
}

int orvexsim_legacy_add_slate(int32_t handle, int slateId, int registered, const char *pin) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &) {
    return result(m.addSlate(slateId, registered != 0, orvexsim::safeText(pin)));
  });
}

int orvexsim_legacy_remove_slate(int32_t handle, int slateId) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &) { return result(m.removeSlate(slateId)); });
}

int orvexsim_legacy_press_slate_register(int32_t handle, int slateId) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &out) {
    return result(m.pressSlateRegister(slateId, out.replies));
  });
}

int orvexsim_legacy_set_slate_typed_pin(int32_t handle, int slateId, const char *pin) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &) {
    return result(m.setSlateTypedPin(slateId, orvexsim::safeText(pin)));
  });
}

int orvexsim_legacy_slate_state(int32_t handle, int slateId) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &) { return m.slateState(slateId); });
}

int orvexsim_legacy_vote(int32_t handle, uint32_t id, int key) {
  return legacySending(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &out) {
    return m.vote(id, key, out.presses);
  });
}

int orvexsim_legacy_class_vote(int32_t handle, int key) {
  return legacySending(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &out) {
    return m.classVote(key, out.presses);
  });
}

int orvexsim_legacy_set_vote_copies(int32_t handle, int copies) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &) { return result(m.setVoteCopies(copies)); });
}

int orvexsim_legacy_seed(int32_t handle, uint32_t seed) {
  return legacy(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &) {
    m.seed(seed);
    return 0;
  });
}

int orvexsim_legacy_pin_naming(int32_t handle, uint32_t id, const char *text) {
  if (!text) return -1;
  return legacySending(handle, [&](LegacyHubModel &m, Simulator::LegacyOutput &out) {
    orvexsim::Bytes packet;
    const int r = m.pinNaming(id, text, packet);
    if (r == 0) out.presses.push_back(std::move(packet));
    return r;
  });
}

}  // extern "C"

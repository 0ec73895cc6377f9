// Replay of a recorded trace: the trace's hubs stand in the classroom and
// say what the trace says, in its order and at its pace; the library's
// writes are the points where the replay waits for the host to catch up.
#include <algorithm>

#include "replay.h"
#include "simulator.h"

namespace orvexsim {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;


Simulator::~Simulator() = default;

int Simulator::startReplay(TraceData trace) {
  std::unique_lock<std::mutex> lock(mu_);
  stopReplayLocked(lock);
  removeAllHubsLocked();
  configured_ = true;
  auto state = std::make_unique<ReplayState>();
  for (const TraceHub &h : trace.hubs) {
    SimHub *hub = addHubLocked(h.kind, h.handle, h.uid, h.connection, h.version, h.description);
    hub->replayed = true;
    // A hub whose first plug or unplug is a plug arrived during the session.
    for (const TraceEvent &e : trace.events) {
      if (e.handle != h.handle || (e.kind != TraceEvent::Plug && e.kind != TraceEvent::Unplug)) continue;
      hub->plugged = e.kind == TraceEvent::Unplug;
      break;
    }
    if (!h.driverVersion.empty()) driverVersion_ = h.driverVersion;
  }
  for (size_t i = 0; i < trace.events.size(); ++i)
    if (trace.events[i].kind == TraceEvent::Write) state->writesByHub[trace.events[i].handle].push_back(i);
  state->writeState.assign(trace.events.size(), ReplayState::Open);
  state->matchedAt.assign(trace.events.size(), Clock::time_point());
  state->trace = std::move(trace);
  replay_ = std::move(state);
  schedulePnpLocked();
  replayThread_ = std::thread([this] { replayRun(); });
  cvChange_.notify_all();
  return 0;
}

void Simulator::stopReplayLocked(std::unique_lock<std::mutex> &lock) {
  if (!replayThread_.joinable()) return;
  replay_->stop = true;
  cvChange_.notify_all();
  std::thread thread = std::move(replayThread_);
  lock.unlock();
  thread.join();
  lock.lock();
  replay_->done = true;
  cvChange_.notify_all();
}

int Simulator::stopReplay() {
  std::unique_lock<std::mutex> lock(mu_);
  stopReplayLocked(lock);
  return 0;
}

int Simulator::setReplayWriteWait(int ms) {
  if (ms < 1 || ms > 3600000) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  replayWriteWaitMs_ = ms;
  cvChange_.notify_all();
  return 0;
}

bool Simulator::replayWriteLocked(SimHub &hub, const Bytes &bytes) {
  ReplayState *r = replay_.get();
  if (!r) return true;
  auto writes = r->writesByHub.find(hub.handle);
  if (writes != r->writesByHub.end()) {
    const std::vector<size_t> &indices = writes->second;
    size_t &first = r->firstOpen[hub.handle];
    while (first < indices.size() && r->writeState[indices[first]] != ReplayState::Open) ++first;
    for (size_t k = first; k < indices.size(); ++k) {
      const size_t i = indices[k];
      if (r->writeState[i] != ReplayState::Open || !r->trace.events[i].matches(bytes)) continue;
      r->writeState[i] = ReplayState::Matched;
      r->matchedAt[i] = Clock::now();
      ++r->matched;
      cvChange_.notify_all();
      return r->trace.events[i].accepted;
    }
  }
  ++r->unexpected;
  return true;
}

void Simulator::replayPacketDoneLocked(bool delivered) {
  if (!replay_) return;
  --replay_->pending;
  if (delivered) ++replay_->delivered;
}

void Simulator::replayRun() {
  std::unique_lock<std::mutex> lock(mu_);
  ReplayState &r = *replay_;
  const std::vector<TraceEvent> &events = r.trace.events;
  // Events are timed from the last synchronisation point: the replay's
  // start, then each recorded write as the library made it.
  Clock::time_point anchor = Clock::now();
  int64_t anchorNs = 0;
  Clock::time_point last = anchor;  // nothing is scheduled before this

  for (size_t i = 0; i < events.size() && !r.stop; ++i) {
    const TraceEvent &e = events[i];
    const Clock::time_point due = std::max(last, anchor + nanoseconds(e.timeNs - anchorNs));
    switch (e.kind) {
    case TraceEvent::Packet: {
      // The library heard the packet in the session, so it had set the
      // hub's callback: wait for that here too.
      const auto ready = [&] {
        const SimHub *hub = findLocked(e.handle);
        const auto state = handles_.find(e.handle);
        return hub && hub->plugged && state != handles_.end() && state->second.callback;
      };
      cvChange_.wait_until(lock, Clock::now() + milliseconds(replayWriteWaitMs_), [&] { return r.stop || ready(); });
      SimHub *hub = findLocked(e.handle);
      if (r.stop || !hub || !hub->plugged) break;
      const Clock::time_point at = std::max(due, hub->lastDue);
      hub->lastDue = at;
      last = at;
      Event event;
      event.kind = Event::Packet;
      event.handle = e.handle;
      event.bytes = e.bytes;
      event.replay = true;
      ++r.pending;
      pushEventLocked(at, std::move(event));
      break;
    }
    case TraceEvent::Write: {
      const Clock::time_point deadline = std::max(Clock::now(), due) + milliseconds(replayWriteWaitMs_);
      cvChange_.wait_until(lock, deadline, [&] { return r.stop || r.writeState[i] == ReplayState::Matched; });
      if (r.stop) break;
      if (r.writeState[i] == ReplayState::Matched) {
        anchor = std::max(r.matchedAt[i], due);
      } else {
        r.writeState[i] = ReplayState::GivenUp;
        ++r.missed;
        anchor = Clock::now();
      }
      anchorNs = e.timeNs;
      last = std::max(last, anchor);
      break;
    }
    case TraceEvent::Plug:
    case TraceEvent::Unplug: {
      cvChange_.wait_until(lock, due, [&] { return r.stop; });
      cvChange_.wait(lock, [&] { return r.stop || (r.pending == 0 && !inFlight_.active); });
      SimHub *hub = findLocked(e.handle);
      if (r.stop || !hub) break;
      if (e.kind == TraceEvent::Plug && !hub->plugged) {
        hub->plugged = true;
        schedulePnpLocked();
      } else if (e.kind == TraceEvent::Unplug && hub->plugged) {
        unplugLocked(*hub);
      }
      last = std::max(last, Clock::now());
      break;
    }
    }
    r.played = i + 1;
    cvChange_.notify_all();
  }
  r.done = true;
  cvChange_.notify_all();
}

int Simulator::replayStatus(OrvexSimReplayStatus *status) {
  if (!status) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  *status = OrvexSimReplayStatus{};
  const ReplayState *r = replay_.get();
  if (!r) return 0;
  status->active = (!r->done || r->pending > 0) ? 1 : 0;
  status->events = static_cast<int>(r->trace.events.size());
  status->played = static_cast<int>(r->played);
  status->writesMatched = r->matched;
  status->writesMissed = r->missed;
  status->writesUnexpected = r->unexpected;
  status->packetsDelivered = r->delivered;
  return 0;
}

int Simulator::replayWait(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mu_);
  if (!replay_ || onDeliveryThread()) return -1;
  const bool finished = cvChange_.wait_until(lock, Clock::now() + milliseconds(std::max(timeoutMs, 0)), [&] {
    return replay_ && replay_->done && replay_->pending == 0 && !inFlight_.active;
  });
  return finished ? 0 : -1;
}

}  // namespace orvexsim

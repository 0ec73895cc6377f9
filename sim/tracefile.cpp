// The trace reader, written from docs/trace-format.md.
#include "tracefile.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>

#include "textfile.h"

namespace orvexsim {

namespace {

constexpr const char *kFormatName = "orvextrace";

std::optional<int32_t> handleOf(const std::string &word) {
  const auto v = parseInt(word, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
  if (!v || *v == 0) return std::nullopt;
  return static_cast<int32_t>(*v);
}

bool readHubLine(LineCursor &in, TraceHub &hub, std::string &what) {
  const auto handle = handleOf(in.word());
  if (!handle) {
    what = "a hub line needs a non-zero handle";
    return false;
  }
  hub.handle = *handle;
  std::set<std::string> seen;
  while (!in.atEnd()) {
    const std::string key = in.word(true);
    if (!in.take('=')) {
      what = "expected key=value, found \"" + key.substr(0, 32) + "\"";
      return false;
    }
    if (!seen.insert(key).second) {
      what = key.substr(0, 32) + " given twice";
      return false;
    }
    if (key == "description" || key == "driver") {
      const auto text = in.quoted();
      if (!text) {
        what = key + " needs a quoted text";
        return false;
      }
      (key == "description" ? hub.description : hub.driverVersion) = *text;
      continue;
    }
    const std::string value = in.word();
    if (key == "kind") {
      const auto v = parseInt(value, 1, 4);
      if (!v) {
        what = "kind must be 1 to 4";
        return false;
      }
      hub.kind = static_cast<int>(*v);
    } else if (key == "uid") {
      const auto v = parseUnsigned(value, std::numeric_limits<uint64_t>::max());
      if (!v) {
        what = "bad uid";
        return false;
      }
      hub.uid = *v;
    } else if (key == "connection" || key == "version") {
      const auto v = parseInt(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
      if (!v) {
        what = "bad " + key;
        return false;
      }
      (key == "connection" ? hub.connection : hub.version) = static_cast<int>(*v);
    } else {
      what = "unknown key \"" + key.substr(0, 32) + "\"";
      return false;
    }
  }
  if (!seen.count("kind") || !seen.count("uid")) {
    what = "a hub line needs kind= and uid=";
    return false;
  }
  return true;
}

bool readBytes(LineCursor &in, TraceEvent &event, bool freeAllowed, std::string &what) {
  bool anyFree = false;
  std::vector<bool> mask;
  while (!in.atEnd()) {
    std::string w = in.word();
    const bool isFree = w[0] == '~';
    if (isFree) {
      if (!freeAllowed) {
        what = "only a write's bytes can be marked free";
        return false;
      }
      w.erase(0, 1);
    }
    if (w.size() != 2 || !isHexDigit(w[0]) || !isHexDigit(w[1])) {
      what = "bad byte \"" + w.substr(0, 16) + "\": two hexadecimal digits expected";
      return false;
    }
    if (event.bytes.size() >= kTraceMaxEventBytes) {
      what = "more than " + std::to_string(kTraceMaxEventBytes) + " bytes";
      return false;
    }
    event.bytes.push_back(static_cast<uint8_t>(hexValue(w[0]) * 16 + hexValue(w[1])));
    mask.push_back(isFree);
    anyFree = anyFree || isFree;
  }
  if (anyFree) event.freeBytes = std::move(mask);
  return true;
}

bool readEventLine(LineCursor &in, const std::string &timeWord, TraceEvent &event, std::string &what) {
  const auto time = parseInt(timeWord, 0, kTraceMaxTimeNs);
  if (!time) {
    what = "expected a hub line or an event starting with its time in nanoseconds, found \"" +
           timeWord.substr(0, 32) + "\"";
    return false;
  }
  event.timeNs = *time;
  const std::string kind = in.word();
  const auto handle = handleOf(in.word());
  if (!handle) {
    what = "an event needs a non-zero hub handle";
    return false;
  }
  event.handle = *handle;
  if (kind == "packet") {
    event.kind = TraceEvent::Packet;
    return readBytes(in, event, false, what);
  }
  if (kind == "write") {
    event.kind = TraceEvent::Write;
    const std::string result = in.word();
    if (result != "ok" && result != "refused") {
      what = "a write is \"ok\" or \"refused\"";
      return false;
    }
    event.accepted = result == "ok";
    return readBytes(in, event, true, what);
  }
  if (kind == "plug" || kind == "unplug") {
    event.kind = kind == "plug" ? TraceEvent::Plug : TraceEvent::Unplug;
    if (!in.atEnd()) {
      what = "nothing may follow the handle of " + kind;
      return false;
    }
    return true;
  }
  what = "unknown event \"" + kind.substr(0, 32) + "\"";
  return false;
}

}  // namespace

bool TraceEvent::matches(const Bytes &data) const {
  if (data.size() != bytes.size()) return false;
  for (size_t i = 0; i < bytes.size(); ++i)
    if (data[i] != bytes[i] && !(i < freeBytes.size() && freeBytes[i])) return false;
  return true;
}

bool parseTrace(const std::string &text, TraceData &trace, std::string &error) {
  trace = TraceData();
  auto fail = [&](size_t line, const std::string &what) {
    error = "line " + std::to_string(line) + ": " + what;
    trace = TraceData();
    return false;
  };
  const std::vector<std::string> lines = splitLines(text);
  if (lines.empty()) return fail(1, "empty file: not a trace");
  {
    LineCursor in(lines[0]);
    const std::string name = in.word();
    const auto version = parseInt(in.word(), 0, std::numeric_limits<int32_t>::max());
    if (name != kFormatName || !version || !in.atEnd())
      return fail(1, std::string("not a trace: the first line must be \"") + kFormatName + " " +
                         std::to_string(kTraceVersion) + "\"");
    if (*version != kTraceVersion)
      return fail(1, "trace format version " + std::to_string(*version) + " is not supported (this reader knows version " +
                         std::to_string(kTraceVersion) + ")");
  }

  std::set<int32_t> described;
  std::map<int32_t, size_t> firstUse;
  for (size_t i = 1; i < lines.size(); ++i) {
    const size_t number = i + 1;
    LineCursor in(lines[i]);
    if (in.atEnd()) continue;
    const std::string first = in.word();
    if (first[0] == '#') continue;
    std::string what;
    if (first == "hub") {
      TraceHub hub;
      if (!readHubLine(in, hub, what)) return fail(number, what);
      if (!described.insert(hub.handle).second) return fail(number, "hub " + std::to_string(hub.handle) + " is described twice");
      if (trace.hubs.size() >= kTraceMaxHubs) return fail(number, "more than " + std::to_string(kTraceMaxHubs) + " hubs");
      trace.hubs.push_back(std::move(hub));
      continue;
    }
    TraceEvent event;
    if (!readEventLine(in, first, event, what)) return fail(number, what);
    if (trace.events.size() >= kTraceMaxEvents) return fail(number, "more than " + std::to_string(kTraceMaxEvents) + " events");
    firstUse.emplace(event.handle, number);
    trace.events.push_back(std::move(event));
  }
  size_t missingLine = 0;
  int32_t missing = 0;
  for (const auto &use : firstUse)
    if (!described.count(use.first) && (missingLine == 0 || use.second < missingLine)) {
      missingLine = use.second;
      missing = use.first;
    }
  if (missingLine) return fail(missingLine, "no hub line describes hub " + std::to_string(missing));
  std::stable_sort(trace.events.begin(), trace.events.end(),
                   [](const TraceEvent &a, const TraceEvent &b) { return a.timeNs < b.timeNs; });
  return true;
}

}  // namespace orvexsim

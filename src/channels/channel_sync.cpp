#include "channels/channel_sync.h"

#include <string>

#include "channels/config.h"
#include "channels/deployment.h"
#include "clock/clock_core.h"
#include "http/http_request.h"
#include "script/json_document.h"

namespace ql {
namespace {

const ChannelSpec kChannels[] = {
    {1, "淘宝", false, "/rest/api3.do?api=mtop.common.getTimestamp", "", "data.t"},
    {2, "京东", true, "/client.action?functionId=queryMaterialProducts&client=wh5",
     "user-agent: Mozilla/5.0 (Linux; Android 6.0; Nexus 5 Build/MRA58N) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/95.0.4638.69 Mobile Safari/537.36",
     "currentTime2"},
    {3, "北京", true, "/v1/toolkit/time", "", "timestamp"},
    {4, "拼多多", false, "/api/server/_stm", "", "server_time"},
    {5, "苏宁", true, "/api/ct.do", "", "currentTime"},
};

ClockLabelWriter g_labelWriter = nullptr;
// Counts synchronisations and fetches as they start. A user action handled
// while a request waits (the HTTP client lets window messages through) can run
// a whole synchronisation of its own, with settings newer than the waiting
// one's: when that happened, the waiting answer is stale and must not replace
// what the newer one measured and showed.
std::uint32_t g_started = 0;

void writeLabel(ClockLabel label, const Text& text) {
  if (g_labelWriter) g_labelWriter(label, text);
}

const char* channelHost(const ChannelSpec& row) {
  const char* host = deployment().channelHosts[row.channelId - 1];
  return host ? host : "";
}

}  // namespace

std::int32_t measuredOffsetMs = 0;

const ChannelSpec* channelSpec(ChannelId id) {
  if (id < 1 || id > 5) return nullptr;
  return &kChannels[id - 1];
}

Text channelUrl(const ChannelSpec& row) {
  return Text(row.secure ? "https://" : "http://") + channelHost(row) + row.pathQuery;
}

void setClockLabelWriter(ClockLabelWriter writer) { g_labelWriter = writer; }

bool fetchServerTime(const ChannelSpec& row) {
  const std::uint32_t mine = ++g_started;
  bool measured = false;
  // A build without a host for this channel cannot ask it; nor can a program
  // without its scratch document read an answer.
  if (*channelHost(row) && jsonScratch()) {
    HttpRequestOptions options;
    options.method = static_cast<std::int32_t>(HttpMethod::Get);
    options.extraHeaders = row.extraHeader;
    Text body = httpRequest(channelUrl(row), options);
    if (mine != g_started) return false;
    // The request lets window messages through; look the document up afresh.
    JsonDocument* scratch = jsonScratch();
    ScriptError error;
    if (scratch && scratch->parse(body, false, &error, false)) {
      Text stamp = scratch->getText(row.timeKey, false);
      std::int64_t local = readUnixClock(true);
      // A missing, null or non-numeric timestamp is no measurement: taken as
      // the server time 0 it would set the clock days off.
      std::int32_t server = 0;
      if (parseTextInt(stamp, &server)) {
        auto difference = static_cast<std::int64_t>(static_cast<double>(local) - static_cast<double>(server));
        measuredOffsetMs = static_cast<std::int32_t>(static_cast<std::uint32_t>(difference));
        measured = true;
      }
    }
  }
  if (JsonDocument* scratch = jsonScratch()) scratch->clear();
  writeLabel(ClockLabel::Channel, row.label);
  return measured;
}

void syncChannel() {
  ++g_started;
  if (const ChannelSpec* row = channelSpec(readSetting("channel", "channel", "1"))) fetchServerTime(*row);
  std::int32_t delay = readSetting("delay", "value", "0");
  std::int32_t type = readSetting("delay", "type", "1");
  // The offset is always rebuilt from the last measurement, so that a
  // synchronisation that measures nothing never folds the delay in twice.
  if (delay <= 0) {
    writeLabel(ClockLabel::Delay, "");
    storeServerOffset(measuredOffsetMs);
    return;
  }
  writeLabel(ClockLabel::Delay, Text(type == 1 ? "提前" : "延后") + ":" + std::to_string(delay) + "ms");
  double offset = static_cast<double>(measuredOffsetMs);
  double folded = type == 1 ? offset + static_cast<double>(delay) : offset - static_cast<double>(delay);
  storeServerOffset(static_cast<std::int64_t>(folded));
}

}  // namespace ql

// Measuring the chosen platform's clock and folding in the user's delay.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace ql {

using ChannelId = std::int32_t;

struct ChannelSpec {
  ChannelId channelId;
  const char* label;  // the clock window's channel label
  bool secure;        // https when true
  const char* pathQuery;
  const char* extraHeader;  // request header text, or empty
  const char* timeKey;      // JSON path of the millisecond timestamp
};

// The row of channel 1 to 5; nullptr for any other number.
const ChannelSpec* channelSpec(ChannelId id);
// "http://" or "https://", the deployment's host of the channel, the path and query.
Text channelUrl(const ChannelSpec& row);

// The two labels a synchronisation writes on the clock window.
enum class ClockLabel { Channel, Delay };
using ClockLabelWriter = void (*)(ClockLabel label, const Text& text);
// The clock window registers its writer while it exists; nullptr: labels go nowhere.
void setClockLabelWriter(ClockLabelWriter writer);

// Local minus server clock of the latest successful fetch, 0 before any.
// serverOffsetMs is always this with the current delay folded in once.
extern std::int32_t measuredOffsetMs;

// Reads the settings, asks the chosen channel (1 to 5) and folds in the delay.
void syncChannel();
// Asks one channel. True when the answer held a timestamp and
// measuredOffsetMs was replaced; the channel label is written in any case,
// unless another synchronisation started and finished while this one waited
// for its answer: then the older answer is dropped and nothing is written.
bool fetchServerTime(const ChannelSpec& row);

}  // namespace ql

// Placeholder so the program links until the synchronisation branch lands; that merge deletes this file.
#include "app/update_check.h"
#include "channels/channel_sync.h"
#include "channels/config.h"
namespace ql {
namespace { ClockLabelWriter w; }
std::int32_t measuredOffsetMs = 0;
std::int32_t readSetting(const Text&, const Text&, const Text& d) { return textToInt(d); }
void writeSetting(const Text&, const Text&, const Text&) {}
void setClockLabelWriter(ClockLabelWriter x) { w = x; }
void syncChannel() { if (w) w(ClockLabel::Channel, "淘宝"); }
void checkForUpdate(bool) {}
}

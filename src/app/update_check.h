// Comparing the built-in version with the publisher's manifest.
#pragma once

namespace ql {

constexpr int kBuiltInVersion = 2;

// Fetches the manifest; a newer version is announced and the website opened,
// an unreadable manifest closes the clock silently. `askedByUser` also confirms
// that no newer version exists.
void checkForUpdate(bool askedByUser);

}  // namespace ql

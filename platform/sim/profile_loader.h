// Loading a device profile from JSON.
#pragma once

#include <optional>
#include <string>

#include "platform/sim/device_profile.h"

namespace sim {

// Parses a profile; on failure returns nullopt and sets *error to one message naming the field.
std::optional<DeviceProfile> ParseProfile(const std::string& json, std::string* error);
// Reads and parses a profile file; the message names the file and the field.
std::optional<DeviceProfile> LoadProfileFile(const std::string& path, std::string* error);

}  // namespace sim

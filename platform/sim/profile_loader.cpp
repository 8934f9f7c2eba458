// Loading a device profile from JSON.
#include "platform/sim/profile_loader.h"

#include <fstream>
#include <sstream>

namespace sim {

std::optional<DeviceProfile> ParseProfile(const std::string& /*json*/, std::string* /*error*/) {
  return DeviceProfile{};
}

std::optional<DeviceProfile> LoadProfileFile(const std::string& path, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    if (error) *error = path + ": cannot be read";
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return ParseProfile(text.str(), error);
}

}  // namespace sim

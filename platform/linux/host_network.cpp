#include "platform/linux/host_network.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <filesystem>
#include <system_error>

#include "platform/linux/host_files.h"

namespace host {
namespace {

std::int64_t ModificationTime(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || st.st_mtime <= 0) return 0;
  return static_cast<std::int64_t>(st.st_mtime);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

template <typename T>
std::optional<T> ParseNumber(std::string_view text, int base = 10) {
  T value{};
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  if (text.empty() || ec != std::errc{} || ptr != end) return std::nullopt;
  return value;
}

// Calls `onLine` with each line of `text`, without its line feed.
template <typename F>
void ForEachLine(std::string_view text, F onLine) {
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    onLine(text.substr(0, newline));
    text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
  }
}

// An interface name that names one entry of a folder.
bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// Dotted IPv4 text as inet_pton accepts it: four decimal parts of 0..255, no leading zeros (which
// some readers take for octal), so at most 15 characters.
bool IsDottedIPv4(std::string_view text) {
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = text.find('.');
    if ((part < 3) == (dot == std::string_view::npos)) return false;
    const std::string_view digits = text.substr(0, dot);
    if (digits.empty() || digits.size() > 3 || (digits.size() > 1 && digits.front() == '0')) {
      return false;
    }
    const auto value = ParseNumber<unsigned>(digits);
    if (!value || *value > 255) return false;
    text = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
  }
  return true;
}

std::optional<std::string> ReadSysfsText(const std::string& path) {
  const auto text = ReadWholeLines(path, kMaxNetworkFileBytes);
  if (!text) return std::nullopt;
  return std::string(Trim(*text));
}

// ---------------------------------------------------------------------------------------------
// dhclient lease files

enum class TokenKind { kWord, kString, kOpen, kClose, kSemicolon, kEnd };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;
};

// The tokens of dhclient's lease file syntax: words, quoted strings (with backslash escapes),
// braces and semicolons; '#' starts a comment that runs to the end of the line.
class LeaseLexer {
 public:
  explicit LeaseLexer(std::string_view text) : text_(text) {}

  Token Next() {
    if (held_) {
      Token token = std::move(*held_);
      held_.reset();
      return token;
    }
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '#') {
        const std::size_t newline = text_.find('\n', pos_);
        pos_ = newline == std::string_view::npos ? text_.size() : newline + 1;
        continue;
      }
      if (IsBlank(c) || c == '\v' || c == '\f') {
        ++pos_;
        continue;
      }
      ++pos_;
      if (c == '{') return {TokenKind::kOpen, {}};
      if (c == '}') return {TokenKind::kClose, {}};
      if (c == ';') return {TokenKind::kSemicolon, {}};
      if (c == '"') return QuotedString();
      std::string word(1, c);
      while (pos_ < text_.size() && !IsDelimiter(text_[pos_])) word += text_[pos_++];
      return {TokenKind::kWord, std::move(word)};
    }
    return {};
  }

  void PutBack(Token token) { held_ = std::move(token); }

 private:
  static bool IsDelimiter(char c) {
    return IsBlank(c) || c == '\v' || c == '\f' || c == '{' || c == '}' || c == ';' || c == '"' ||
           c == '#';
  }

  // An unterminated string runs to the end of the text, which ends every block unfinished.
  Token QuotedString() {
    std::string value;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return {TokenKind::kString, std::move(value)};
      if (c == '\\' && pos_ < text_.size()) {
        value += text_[pos_++];
      } else {
        value += c;
      }
    }
    return {};
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::optional<Token> held_;
};

// Steps over a block whose '{' has been read; false when the text ends inside it.
bool SkipBlock(LeaseLexer& lexer) {
  for (int depth = 1;;) {
    const Token token = lexer.Next();
    if (token.kind == TokenKind::kEnd) return false;
    if (token.kind == TokenKind::kOpen) ++depth;
    if (token.kind == TokenKind::kClose && --depth == 0) return true;
  }
}

// "N YYYY/MM/DD HH:MM:SS" (weekday, UTC date and time) or "epoch N" as unix seconds.
std::optional<std::int64_t> ParseLeaseTime(const std::vector<Token>& words) {
  for (const Token& word : words) {
    if (word.kind != TokenKind::kWord) return std::nullopt;
  }
  if (words.size() == 2 && words[0].text == "epoch") {
    const auto seconds = ParseNumber<std::int64_t>(words[1].text);
    if (!seconds || *seconds <= 0) return std::nullopt;
    return seconds;
  }
  if (words.size() != 3) return std::nullopt;
  const auto weekday = ParseNumber<unsigned>(words[0].text);
  if (!weekday || *weekday > 6) return std::nullopt;
  const auto field = [](std::string_view text, std::size_t at, std::size_t length) {
    return at + length <= text.size() ? ParseNumber<unsigned>(text.substr(at, length))
                                      : std::nullopt;
  };
  const std::string& date = words[1].text;
  const std::string& time = words[2].text;
  if (date.size() != 10 || date[4] != '/' || date[7] != '/' || time.size() != 8 || time[2] != ':' ||
      time[5] != ':') {
    return std::nullopt;
  }
  const auto year = field(date, 0, 4), month = field(date, 5, 2), day = field(date, 8, 2);
  const auto hour = field(time, 0, 2), minute = field(time, 3, 2), second = field(time, 6, 2);
  if (!year || !month || !day || !hour || !minute || !second || *year < 1970 || *hour > 23 ||
      *minute > 59 || *second > 59) {
    return std::nullopt;
  }
  const std::chrono::year_month_day ymd{std::chrono::year(static_cast<int>(*year)),
                                        std::chrono::month(*month), std::chrono::day(*day)};
  if (!ymd.ok()) return std::nullopt;
  const std::int64_t days = std::chrono::sys_days(ymd).time_since_epoch().count();
  return days * 86400 + *hour * 3600 + *minute * 60 + *second;
}

struct LeaseBlock {
  std::string interface;
  LeaseFacts facts;
  std::optional<std::uint32_t> leaseTime;
  std::optional<std::int64_t> expire;
};

void ApplyStatement(const std::vector<Token>& statement, LeaseBlock& block) {
  if (statement.empty() || statement[0].kind != TokenKind::kWord) return;
  const std::string& keyword = statement[0].text;
  if (keyword == "interface" && statement.size() == 2) {
    block.interface = statement[1].text;
  } else if (keyword == "fixed-address" && statement.size() == 2) {
    block.facts.address = IsDottedIPv4(statement[1].text) ? statement[1].text : std::string();
  } else if (keyword == "expire") {
    block.expire = ParseLeaseTime({statement.begin() + 1, statement.end()});
  } else if (keyword == "option" && statement.size() >= 3) {
    const std::string& option = statement[1].text;
    if (option == "dhcp-server-identifier" && statement.size() == 3) {
      block.facts.serverAddress = IsDottedIPv4(statement[2].text) ? statement[2].text : "";
    } else if (option == "dhcp-lease-time" && statement.size() == 3) {
      block.leaseTime = ParseNumber<std::uint32_t>(statement[2].text);
    } else if (option == "netbios-name-servers") {
      // dhclient writes "a,b"; hand-edited files have "a, b".
      block.facts.winsServers.clear();
      for (std::size_t i = 2; i < statement.size(); ++i) {
        std::string_view list = statement[i].text;
        while (!list.empty()) {
          const std::size_t comma = list.find(',');
          const std::string_view item = list.substr(0, comma);
          if (IsDottedIPv4(item)) block.facts.winsServers.emplace_back(item);
          list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        }
      }
    }
  }
}

// Reads the body of a `lease {` block; false when the text ends inside it.
bool ReadLeaseBlock(LeaseLexer& lexer, LeaseBlock& block) {
  std::vector<Token> statement;
  for (;;) {
    Token token = lexer.Next();
    switch (token.kind) {
      case TokenKind::kEnd:
        return false;
      case TokenKind::kClose:
        return true;
      case TokenKind::kSemicolon:
        ApplyStatement(statement, block);
        statement.clear();
        break;
      case TokenKind::kOpen:  // a nested block: no statement of ours
        if (!SkipBlock(lexer)) return false;
        statement.clear();
        break;
      default:
        statement.push_back(std::move(token));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Lease file search

enum class LeaseFormat { kNetworkd, kDhclient };

bool IsUuidText(std::string_view text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    const char c = text[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (dash ? c != '-' : !hex) return false;
  }
  return true;
}

// The regular files of `<root><folder>` whose names pass `matches`, newest first (then by name, so
// that the order never depends on the folder's listing order).
template <typename F>
std::vector<std::string> FilesNewestFirst(const std::string& root, std::string_view folder,
                                          F matches) {
  std::vector<std::pair<std::int64_t, std::string>> found;
  std::error_code ec;
  const std::string hostFolder = JoinRoot(root, folder);
  for (auto it = std::filesystem::directory_iterator(hostFolder, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!matches(std::string_view(name))) continue;
    const std::string path = hostFolder + "/" + name;
    found.emplace_back(ModificationTime(path), path);
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  std::vector<std::string> paths;
  for (auto& entry : found) paths.push_back(std::move(entry.second));
  return paths;
}

std::optional<LeaseFacts> ReadLeaseFile(const std::string& path, LeaseFormat format,
                                        const std::string& ifname) {
  if (format == LeaseFormat::kNetworkd) {
    const auto text = ReadWholeLines(path, kMaxNetworkFileBytes);
    if (!text) return std::nullopt;
    auto lease = ParseNetworkdLease(*text);
    if (lease) lease->obtained = ModificationTime(path);
    return lease;
  }
  const auto text = ReadWholeLines(path, kMaxNetworkFileBytes, ReadEnd::kTail);
  if (!text) return std::nullopt;
  return ParseDhclientLeases(*text, ifname);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

std::map<std::string, std::string> ParseRouteTable(std::string_view procNetRoute,
                                                   std::endian byteOrder) {
  constexpr std::uint32_t kRouteGateway = 0x2;  // RTF_GATEWAY
  std::map<std::string, std::string> gateways;
  ForEachLine(procNetRoute, [&](std::string_view line) {
    // Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT, tab-separated and
    // padded with spaces.
    std::vector<std::string_view> fields;
    while (fields.size() < 8) {
      const std::size_t begin = line.find_first_not_of(" \t\r");
      if (begin == std::string_view::npos) break;
      line.remove_prefix(begin);
      const std::size_t end = line.find_first_of(" \t\r");
      fields.push_back(line.substr(0, end));
      line = end == std::string_view::npos ? std::string_view{} : line.substr(end);
    }
    if (fields.size() < 8 || fields[0] == "*") return;
    const auto hex = [](std::string_view text) {
      return text.size() <= 8 ? ParseNumber<std::uint32_t>(text, 16) : std::nullopt;
    };
    const auto destination = hex(fields[1]);
    const auto gateway = hex(fields[2]);
    const auto flags = hex(fields[3]);
    const auto mask = hex(fields[7]);
    if (!destination || !gateway || !flags || !mask || *destination != 0 || *mask != 0 ||
        (*flags & kRouteGateway) == 0 || *gateway == 0) {
      return;
    }
    const std::string iface(fields[0]);
    if (gateways.contains(iface)) return;
    // The word as it lay in memory: the address's bytes in network order.
    std::uint32_t bytes = *gateway;
    if (byteOrder == std::endian::big) {
      bytes = ((bytes & 0xFF) << 24) | ((bytes & 0xFF00) << 8) | ((bytes >> 8) & 0xFF00) |
              (bytes >> 24);
    }
    gateways[iface] = std::to_string(bytes & 0xFF) + "." + std::to_string((bytes >> 8) & 0xFF) +
                      "." + std::to_string((bytes >> 16) & 0xFF) + "." +
                      std::to_string(bytes >> 24);
  });
  return gateways;
}

std::map<std::string, std::string> ReadDefaultGateways(const std::string& root) {
  const auto text = ReadWholeLines(JoinRoot(root, "/proc/net/route"), kMaxNetworkFileBytes);
  if (!text) return {};
  return ParseRouteTable(*text, std::endian::native);
}

std::vector<std::uint8_t> ParseHardwareAddress(std::string_view text) {
  constexpr std::size_t kMaxBytes = 32;  // MAX_ADDR_LEN
  text = Trim(text);
  std::vector<std::uint8_t> bytes;
  while (!text.empty()) {
    if (bytes.size() == kMaxBytes || text.size() < 2) return {};
    const auto value = ParseNumber<unsigned>(text.substr(0, 2), 16);
    if (!value) return {};
    bytes.push_back(static_cast<std::uint8_t>(*value));
    text.remove_prefix(2);
    if (text.empty()) break;
    if (text.front() != ':' || text.size() == 1) return {};
    text.remove_prefix(1);
  }
  return bytes;
}

std::optional<InterfaceFacts> ReadInterfaceFacts(const std::string& root,
                                                 const std::string& ifname) {
  if (!IsPlainName(ifname)) return std::nullopt;
  const std::string folder = JoinRoot(root, "/sys/class/net/" + ifname);
  if (!IsDirectory(folder)) return std::nullopt;

  InterfaceFacts facts;
  facts.name = ifname;
  if (const auto address = ReadSysfsText(folder + "/address")) {
    facts.hwAddress = ParseHardwareAddress(*address);
  }
  if (const auto text = ReadSysfsText(folder + "/ifindex")) {
    const auto ifindex = ParseNumber<int>(*text);
    facts.ifindex = ifindex && *ifindex > 0 ? *ifindex : 0;
  }
  if (const auto text = ReadSysfsText(folder + "/type")) {
    facts.arpType = ParseNumber<unsigned>(*text).value_or(0);
  }

  char target[PATH_MAX];
  const ssize_t n = ::readlink((folder + "/device/driver").c_str(), target, sizeof target);
  if (n > 0 && static_cast<std::size_t>(n) < sizeof target) {
    std::string_view link(target, static_cast<std::size_t>(n));
    while (!link.empty() && link.back() == '/') link.remove_suffix(1);
    facts.description = std::string(link.substr(link.rfind('/') + 1));
  }
  if (facts.description.empty()) {
    if (const auto uevent = ReadWholeLines(folder + "/uevent", kMaxNetworkFileBytes)) {
      ForEachLine(*uevent, [&](std::string_view line) {
        constexpr std::string_view kKey = "DEVTYPE=";
        if (facts.description.empty() && line.substr(0, kKey.size()) == kKey) {
          facts.description = std::string(Trim(line.substr(kKey.size())));
        }
      });
    }
  }
  if (facts.description.empty()) facts.description = "virtual";
  return facts;
}

std::vector<std::string> ListInterfaces(const std::string& root) {
  std::vector<std::pair<int, std::string>> found;
  std::error_code ec;
  const std::string folder = JoinRoot(root, "/sys/class/net");
  for (auto it = std::filesystem::directory_iterator(folder, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (!IsPlainName(name) || name == "lo" || !IsDirectory(folder + "/" + name)) continue;
    const auto ifindexText = ReadSysfsText(folder + "/" + name + "/ifindex");
    const auto ifindex = ifindexText ? ParseNumber<int>(*ifindexText) : std::nullopt;
    if (!ifindex || *ifindex <= 0) continue;
    const auto type = ReadSysfsText(folder + "/" + name + "/type");
    if (type && ParseNumber<unsigned>(*type) == kArpTypeLoopback) continue;
    found.emplace_back(*ifindex, std::move(name));
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& entry : found) names.push_back(std::move(entry.second));
  return names;
}

std::optional<LeaseFacts> ParseNetworkdLease(std::string_view text) {
  LeaseFacts lease;
  ForEachLine(text, [&](std::string_view line) {
    line = Trim(line);
    const std::size_t equals = line.find('=');
    if (line.empty() || line.front() == '#' || equals == std::string_view::npos) return;
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (key == "ADDRESS") {
      lease.address = IsDottedIPv4(value) ? std::string(value) : std::string();
    } else if (key == "SERVER_ADDRESS") {
      lease.serverAddress = IsDottedIPv4(value) ? std::string(value) : std::string();
    }
  });
  if (lease.address.empty()) return std::nullopt;
  return lease;
}

std::optional<LeaseFacts> ParseDhclientLeases(std::string_view text, const std::string& ifname) {
  LeaseLexer lexer(text);
  std::optional<LeaseFacts> found;
  for (;;) {
    const Token token = lexer.Next();
    if (token.kind == TokenKind::kEnd) break;
    if (token.kind == TokenKind::kOpen) {  // lease6 and other blocks
      if (!SkipBlock(lexer)) break;
      continue;
    }
    if (token.kind != TokenKind::kWord || token.text != "lease") continue;
    Token open = lexer.Next();
    if (open.kind != TokenKind::kOpen) {
      lexer.PutBack(std::move(open));
      continue;
    }
    LeaseBlock block;
    if (!ReadLeaseBlock(lexer, block)) break;  // unfinished: a writer was cut short
    if (block.interface != ifname || block.facts.address.empty()) continue;
    if (block.expire && block.leaseTime && *block.expire > *block.leaseTime) {
      block.facts.obtained = *block.expire - *block.leaseTime;
    }
    found = std::move(block.facts);
  }
  return found;
}

std::optional<LeaseFacts> FindLease(const std::string& root, const std::string& ifname,
                                    int ifindex) {
  if (!IsPlainName(ifname)) return std::nullopt;
  std::vector<std::pair<std::string, LeaseFormat>> candidates;
  if (ifindex > 0) {
    candidates.emplace_back(JoinRoot(root, "/run/systemd/netif/leases/" + std::to_string(ifindex)),
                            LeaseFormat::kNetworkd);
  }
  // NetworkManager: "<prefix><uuid>-<ifname>.lease".
  const auto managerFiles = [&](std::string_view prefix) {
    const std::string suffix = "-" + ifname + ".lease";
    return FilesNewestFirst(root, "/var/lib/NetworkManager", [&](std::string_view name) {
      return name.size() == prefix.size() + 36 + suffix.size() && name.starts_with(prefix) &&
             name.ends_with(suffix) && IsUuidText(name.substr(prefix.size(), 36));
    });
  };
  for (auto& path : managerFiles("internal-")) {
    candidates.emplace_back(std::move(path), LeaseFormat::kNetworkd);
  }
  for (auto& path : managerFiles("dhclient-")) {
    candidates.emplace_back(std::move(path), LeaseFormat::kDhclient);
  }
  candidates.emplace_back(JoinRoot(root, "/var/lib/dhcp/dhclient." + ifname + ".leases"),
                          LeaseFormat::kDhclient);
  candidates.emplace_back(JoinRoot(root, "/var/lib/dhcp/dhclient.leases"), LeaseFormat::kDhclient);
  for (auto& path : FilesNewestFirst(root, "/var/lib/dhclient", [](std::string_view name) {
         return name.starts_with("dhclient") && name.ends_with(".leases");
       })) {
    candidates.emplace_back(std::move(path), LeaseFormat::kDhclient);
  }

  for (const auto& [path, format] : candidates) {
    if (auto lease = ReadLeaseFile(path, format, ifname)) return lease;
  }
  return std::nullopt;
}

}  // namespace host

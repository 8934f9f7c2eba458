// Where device makers' libraries are looked for.
#include "platform/linux/library_search.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(LibrarySearch, OnlyBareNames) {
  for (const char* good : {"NAVIAPI", "marina_api", "lib-1.2"}) {
    EXPECT_TRUE(host::IsBareLibraryName(good)) << good;
  }
  for (const char* bad : {"", ".", "..", "../x", "a/b", "a\\b", "x..y", "na vi"}) {
    EXPECT_FALSE(host::IsBareLibraryName(bad)) << bad;
  }
}

TEST(LibrarySearch, RelativeAndEmptySearchPathEntriesAreDropped) {
  EXPECT_EQ(host::SplitSearchPath("/opt/a::lib:.:/usr/b/;/c"),
            (std::vector<std::string>{"/opt/a", "/usr/b/", "/c"}));
  EXPECT_TRUE(host::SplitSearchPath("").empty());
}

TEST(LibrarySearch, LinkerConfiguration) {
  const auto conf = host::ParseLdSoConf(
      "# comment\ninclude /etc/ld.so.conf.d/*.conf\n  /usr/local/lib  # local\nrelative/dir\n\n");
  EXPECT_EQ(conf.folders, (std::vector<std::string>{"/usr/local/lib"}));
  EXPECT_EQ(conf.includes, (std::vector<std::string>{"/etc/ld.so.conf.d/*.conf"}));
}

TEST(LibrarySearch, CandidatesInOrder) {
  EXPECT_EQ(host::LibraryCandidates("NAVIAPI", {"/opt/app", "/usr/lib/"}),
            (std::vector<std::string>{"/opt/app/NAVIAPI.so", "/opt/app/libNAVIAPI.so",
                                      "/usr/lib/NAVIAPI.so", "/usr/lib/libNAVIAPI.so"}));
}

TEST(LibrarySearch, TrustedOwnersAndModes) {
  struct Case {
    uid_t owner;
    mode_t mode;
    bool trusted;
  };
  const Case cases[] = {
      {0, 0755, true},  {1000, 0755, true}, {1001, 0755, false},
      {0, 0775, false}, {0, 0757, false},   {1000, 01777, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(host::OwnerAndModeTrusted(c.owner, c.mode, 1000), c.trusted)
        << c.owner << " " << std::oct << c.mode;
  }
}

}  // namespace

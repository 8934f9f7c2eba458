#include "platform/linux/host_files.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/temp_tree.h"

namespace {

using host::ReadEnd;

TEST(HostFiles, ACappedReadSaysWhetherTheFileWentOn) {
  TempTree tree;
  tree.Write("f", "abcdef");
  const std::string path = tree.Root() + "/f";
  struct Case {
    std::size_t cap;
    ReadEnd end;
    std::string data;
    bool cut;
  };
  for (const Case& c :
       {Case{6, ReadEnd::kHead, "abcdef", false}, Case{4, ReadEnd::kHead, "abcd", true},
        Case{6, ReadEnd::kTail, "abcdef", false}, Case{4, ReadEnd::kTail, "cdef", true},
        Case{0, ReadEnd::kHead, "", true}, Case{0, ReadEnd::kTail, "", true}}) {
    const auto read = host::ReadCapped(path, c.cap, c.end);
    ASSERT_TRUE(read) << c.cap;
    EXPECT_EQ(read->data, c.data) << c.cap;
    EXPECT_EQ(read->cut, c.cut) << c.cap;
  }
  EXPECT_EQ(host::ReadCapped(tree.Root() + "/missing", 10), std::nullopt);
  EXPECT_EQ(host::ReadCapped(tree.Root(), 10), std::nullopt);  // a folder
}

// A head cut by the cap loses only the line the cap went through. A tail always loses its first
// line, whole or not: the byte before it is not read.
TEST(HostFiles, WholeLinesDropTheLineAtTheCut) {
  TempTree tree;
  tree.Write("f", "one\ntwo\nthree\n");
  const std::string path = tree.Root() + "/f";
  struct Case {
    std::size_t cap;
    ReadEnd end;
    std::string text;
  };
  for (const Case& c :
       {Case{14, ReadEnd::kHead, "one\ntwo\nthree\n"}, Case{13, ReadEnd::kHead, "one\ntwo\n"},
        Case{8, ReadEnd::kHead, "one\ntwo\n"}, Case{3, ReadEnd::kHead, ""},
        Case{14, ReadEnd::kTail, "one\ntwo\nthree\n"}, Case{10, ReadEnd::kTail, "three\n"},
        Case{6, ReadEnd::kTail, ""}, Case{5, ReadEnd::kTail, ""}}) {
    EXPECT_EQ(host::ReadWholeLines(path, c.cap, c.end), std::optional(c.text))
        << c.cap << (c.end == ReadEnd::kTail ? " tail" : " head");
  }
}

}  // namespace

// The language table and "english.csv".
#include "general/language.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "general/istring.h"
#include "support/logcapture.h"
#include "support/tempdir.h"

namespace {

void write(const char* name, const std::string& text) {
  std::ofstream out(name, std::ios::binary);
  out << text;
}

// A scratch directory with the table emptied, so the next look-up loads the
// file written there.
class LanguageTable : public ::testing::Test {
 protected:
  void SetUp() override {
    saveLanguageTable();  // empties whatever an earlier test left, into our directory
    std::remove("english.csv");
  }
  void TearDown() override { saveLanguageTable(); }
  testsupport::ScopedTempDir dir_;
};

TEST(LanguageHash, SumsUnsignedBytes) {
  EXPECT_EQ(hashText(""), 0u);
  EXPECT_EQ(hashText("A"), 65u);
  EXPECT_EQ(hashText("\xFF\x02"), 1u);  // 255 + 2, not -1 + 2
  EXPECT_EQ(hashText("\xE9"), 0xE9u);
  EXPECT_EQ(hashText("ab"), hashText("ba"));
}

TEST_F(LanguageTable, TranslationsComeFromTheFile) {
  write("english.csv", "\"Save\", \"Speichern\"\n\"Load\", \"Laden\"\r\nbroken line\n\"only\"\n");
  EXPECT_STREQ(translate("Save"), "Speichern");
  EXPECT_STREQ(translate("Load"), "Laden");
  EXPECT_STREQ(translate("only"), "only");
  IString s = IString::fromEnglish("Save");
  char out[32];
  s.toCString(out, sizeof out);
  EXPECT_STREQ(out, "Speichern");
}

TEST_F(LanguageTable, RoundTripKeepsEveryEntry) {
  // "ab" and "ba" share a chain.
  write("english.csv", "\"ab\", \"AB\"\n\"Save\", \"Speichern\"\n");
  EXPECT_STREQ(translate("ba"), "ba");  // new: itself
  EXPECT_STREQ(translate("ab"), "AB");
  EXPECT_STREQ(translate("New text"), "New text");
  const char* first = translate("New text");
  EXPECT_EQ(first, translate("New text"));  // one entry, not two
  saveLanguageTable();

  std::string saved = testsupport::fileText("english.csv");
  // Ordered by hash; within a hash the newest first.
  std::string expected;
  struct Entry {
    const char* english;
    const char* translation;
  } entries[] = {{"ba", "ba"}, {"ab", "AB"}, {"New text", "New text"}, {"Save", "Speichern"}};
  std::vector<std::pair<u32, std::string>> lines;
  for (const Entry& e : entries)
    lines.emplace_back(hashText(e.english), std::string("\"") + e.english + "\", \"" + e.translation + "\"\n");
  std::stable_sort(lines.begin(), lines.end(), [](auto& a, auto& b) { return a.first < b.first; });
  for (auto& l : lines) expected += l.second;
  EXPECT_EQ(saved, expected);

  // Read back, everything is found again; the chain order turns round.
  EXPECT_STREQ(translate("ab"), "AB");
  EXPECT_STREQ(translate("ba"), "ba");
  EXPECT_STREQ(translate("Save"), "Speichern");
  saveLanguageTable();
  std::string again = testsupport::fileText("english.csv");
  EXPECT_NE(again.find("\"ab\", \"AB\"\n\"ba\", \"ba\"\n"), std::string::npos) << again;
}

TEST_F(LanguageTable, EmptyPiecesAndUnwritableTexts) {
  write("english.csv", "\"Save\", \"\"\n\"\", \"X\"\n");
  // An empty translation reads back as the line's end; an empty English
  // text shifts the pieces.
  EXPECT_STREQ(translate("Save"), "\n");
  EXPECT_STREQ(translate(", "), "\n");
  // Texts that would break the file's lines are looked up but not written.
  EXPECT_STREQ(translate("say \"hi\""), "say \"hi\"");
  EXPECT_STREQ(translate("two\nlines"), "two\nlines");
  EXPECT_STREQ(translate("kept"), "kept");
  saveLanguageTable();
  EXPECT_EQ(testsupport::fileText("english.csv"), "\"kept\", \"kept\"\n");
}

TEST_F(LanguageTable, MissingFileIsLoggedAndCreatedAtSave) {
  testsupport::LogCapture log;
  EXPECT_STREQ(translate("Hello"), "Hello");
  EXPECT_NE(log.text().find("Unable to open english.csv for reading.\n"), std::string::npos);
  saveLanguageTable();
  EXPECT_EQ(testsupport::fileText("english.csv"), "\"Hello\", \"Hello\"\n");
}

TEST_F(LanguageTable, UnwritableFileKeepsTheTable) {
  write("english.csv", "\"Save\", \"Speichern\"\n");
  EXPECT_STREQ(translate("Save"), "Speichern");
  std::remove("english.csv");
  std::filesystem::create_directory("english.csv");  // rename over it fails
  testsupport::LogCapture log;
  saveLanguageTable();
  EXPECT_NE(log.text().find("Unable to open english.csv for writing.\n"), std::string::npos);
  EXPECT_STREQ(translate("Save"), "Speichern");
  // No temporary file is left behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(".")) files += e.is_regular_file() && e.path().filename() != "dbgout.txt";
  EXPECT_EQ(files, 0);
  std::filesystem::remove("english.csv");
}

TEST_F(LanguageTable, SaveWithoutLookUpsLeavesTheFileAlone) {
  write("english.csv", "\"Save\", \"Speichern\"\n");
  saveLanguageTable();
  EXPECT_EQ(testsupport::fileText("english.csv"), "\"Save\", \"Speichern\"\n");
}

}  // namespace

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

  // The file's lines first, in their order, then the new texts in the order
  // of their first look-up.
  const std::string expected = "\"ab\", \"AB\"\n\"Save\", \"Speichern\"\n\"ba\", \"ba\"\n\"New text\", \"New text\"\n";
  EXPECT_EQ(testsupport::fileText("english.csv"), expected);

  // Read back, everything is found again, and a run that adds nothing
  // writes the same file (so it can be kept under version control).
  for (int run = 0; run < 3; ++run) {
    EXPECT_STREQ(translate("Save"), "Speichern");
    EXPECT_STREQ(translate("ba"), "ba");
    EXPECT_STREQ(translate("ab"), "AB");
    saveLanguageTable();
    EXPECT_EQ(testsupport::fileText("english.csv"), expected) << run;
  }
}

TEST_F(LanguageTable, TheFirstLineForATextCountsAndDuplicatesGo) {
  write("english.csv", "\"Save\", \"Speichern\"\n\"Load\", \"Laden\"\n\"Save\", \"Sichern\"\n\"Save\", \"Enregistrer\"\n");
  for (int run = 0; run < 2; ++run) {
    EXPECT_STREQ(translate("Save"), "Speichern");
    saveLanguageTable();
    EXPECT_EQ(testsupport::fileText("english.csv"), "\"Save\", \"Speichern\"\n\"Load\", \"Laden\"\n");
  }
}

TEST_F(LanguageTable, LongTranslationsAreShownCutAndKeptWhole) {
  const std::string longText(300, 'L');
  const std::string overlong = "\"Tail\", \"" + std::string(3000, 'x') + "\"Save\", \"broken\"\n";
  write("english.csv", "\"Save\", \"" + longText + "\"\n" + overlong + "\"Load\", \"Laden\"\n");
  testsupport::LogCapture log;
  EXPECT_EQ(std::string(translate("Save")), longText.substr(0, 256));
  // A line too long to be an entry is skipped whole: its tail is no entry.
  EXPECT_STREQ(translate("Load"), "Laden");
  EXPECT_STREQ(translate("Tail"), "Tail");
  // One line in the log for the long translation, however often it is used.
  for (int i = 0; i < 100; ++i) translate("Save");
  const std::string text = log.text();
  EXPECT_EQ(text,
            "The translation of \"Save\" in english.csv is longer than 256 characters; only the first 256 are "
            "shown.\n");
  // Shown in a line of the program's own text, it leaves the log alone.
  FixedIString line;
  line.appendTextClipped(translate("Save"), FixedIString::kCapacity - 8);
  line.appendHex8(0x1234);
  EXPECT_EQ(line.length(), 256u);
  EXPECT_EQ(log.text(), text);
  saveLanguageTable();
  EXPECT_NE(testsupport::fileText("english.csv").find("\"Save\", \"" + longText + "\"\n"), std::string::npos);
}

TEST_F(LanguageTable, LinkedAndReadOnlyFiles) {
  std::filesystem::create_directory("po");
  write("po/english.csv", "\"Save\", \"Speichern\"\n");
  std::filesystem::create_symlink("po/english.csv", "english.csv");
  EXPECT_STREQ(translate("Save"), "Speichern");
  translate("New");
  saveLanguageTable();
  EXPECT_TRUE(std::filesystem::is_symlink("english.csv"));
  EXPECT_EQ(testsupport::fileText("po/english.csv"), "\"Save\", \"Speichern\"\n\"New\", \"New\"\n");

  std::filesystem::remove("english.csv");
  write("english.csv", "\"Save\", \"Speichern\"\n");
  using std::filesystem::perms;
  std::filesystem::permissions("english.csv", perms::owner_read | perms::group_read);
  translate("Other");
  testsupport::LogCapture log;
  saveLanguageTable();
  EXPECT_NE(log.text().find("Unable to open english.csv for writing.\n"), std::string::npos);
  EXPECT_EQ(testsupport::fileText("english.csv"), "\"Save\", \"Speichern\"\n");
  std::filesystem::permissions("english.csv", perms::owner_read | perms::owner_write);
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
  // Nor is an empty text, which would read back as another entry; a
  // translation that would not read back is written as the text itself.
  EXPECT_STREQ(translate(""), "");
  saveLanguageTable();
  EXPECT_EQ(testsupport::fileText("english.csv"), "\"Save\", \"Save\"\n\", \", \", \"\n\"kept\", \"kept\"\n");
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

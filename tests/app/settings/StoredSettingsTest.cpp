#include "app/settings/StoredSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "app/settings/SettingsStore.h"
#include "publish/Publisher.h"
#include "support/TempDirectory.h"

namespace ostrel {
namespace {

using test::ReadFile;
using test::TempDirectory;
using test::WriteFile;

class SilentUserInterface : public PublisherUserInterface {
 public:
  void ShowStatusAndProcessInput(const std::string&, const std::string&) override {}
  void ShowMessage(const std::string&) override {}
};

std::string Lowered(std::string text) {
  std::ranges::transform(text, text.begin(),
                         [](unsigned char character) { return static_cast<char>(std::tolower(character)); });
  return text;
}

class StoredSettingsTest : public ::testing::Test {
 protected:
  TempDirectory directory_;
  std::filesystem::path file_ = directory_.Path() / "ostrel.INI";
  SettingsStore store_{file_};
  SilentUserInterface userInterface_;
  Publisher publisher_{userInterface_, "ostrel"};
};

TEST_F(StoredSettingsTest, MissingFileGivesEmptyTextsDefaultExtensionsAndFlagsOn) {
  publisher_.LocalDir = publisher_.Host = publisher_.Name = publisher_.RemoteDir = "stale";
  publisher_.Password = "secret";
  publisher_.XCodeExtenstions = "stale";
  publisher_.SkipSpecialDirs = publisher_.Xcode = publisher_.NoQMarks = publisher_.UpdateOnly =
      publisher_.Recurse = 0;

  LoadRunSettings(store_, publisher_);

  EXPECT_EQ(publisher_.LocalDir, "");
  EXPECT_EQ(publisher_.Host, "");
  EXPECT_EQ(publisher_.Password, "");
  EXPECT_EQ(publisher_.Name, "");
  EXPECT_EQ(publisher_.RemoteDir, "");
  EXPECT_EQ(publisher_.XCodeExtenstions, "htm, html, txt");
  EXPECT_EQ(publisher_.SkipSpecialDirs, 1);
  EXPECT_EQ(publisher_.Xcode, 1);
  EXPECT_EQ(publisher_.NoQMarks, 1);
  EXPECT_EQ(publisher_.UpdateOnly, 1);
  EXPECT_EQ(publisher_.Recurse, 1);
  EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(StoredSettingsTest, EachMemberReadsItsOwnKey) {
  WriteFile(file_,
            "[Parameters]\n"
            "Recurse=6\nUpdateOnly=5\nNoQMarks=4\nXcode=3\nXCodeExtenstions=shtml\nSkipSpecialDirs=2\n"
            "RemoteDir=/www/\nName=user\nHost=ftp.example.org\nLocalDir=/home/user/site/\n"
            "Password=stored by someone else\n");
  LoadRunSettings(store_, publisher_);
  EXPECT_EQ(publisher_.LocalDir, "/home/user/site/");
  EXPECT_EQ(publisher_.Host, "ftp.example.org");
  EXPECT_EQ(publisher_.Password, "");
  EXPECT_EQ(publisher_.Name, "user");
  EXPECT_EQ(publisher_.RemoteDir, "/www/");
  EXPECT_EQ(publisher_.SkipSpecialDirs, 2);
  EXPECT_EQ(publisher_.XCodeExtenstions, "shtml");
  EXPECT_EQ(publisher_.Xcode, 3);
  EXPECT_EQ(publisher_.NoQMarks, 4);
  EXPECT_EQ(publisher_.UpdateOnly, 5);
  EXPECT_EQ(publisher_.Recurse, 6);

  const StoredOptions options = LoadOptions(store_);
  EXPECT_EQ(options.SkipSpecialDirs, 2);
  EXPECT_EQ(options.XCodeExtenstions, "shtml");
  EXPECT_EQ(options.Xcode, 3);
  EXPECT_EQ(options.NoQMarks, 4);
  EXPECT_EQ(options.UpdateOnly, 5);
  EXPECT_EQ(options.Recurse, 6);
}

TEST_F(StoredSettingsTest, SaveSettingsWritesTheFourConnectionValuesInOrderAndNoPassword) {
  publisher_.LocalDir = "/home/user/site/";
  publisher_.Host = "ftp.example.org";
  publisher_.Password = "secret";
  publisher_.Name = "user";
  publisher_.RemoteDir = "/www/";
  publisher_.Recurse = 0;

  SaveSettings(store_, publisher_);

  const std::string contents = ReadFile(file_);
  EXPECT_EQ(contents,
            "[Parameters]\n"
            "LocalDir=/home/user/site/\n"
            "Host=ftp.example.org\n"
            "Name=user\n"
            "RemoteDir=/www/\n");
  EXPECT_EQ(Lowered(contents).find("password"), std::string::npos);
  EXPECT_EQ(contents.find("secret"), std::string::npos);
}

TEST_F(StoredSettingsTest, SaveOptionsWritesTheSixOptionsInOrder) {
  StoredOptions options;
  options.SkipSpecialDirs = 0;
  options.XCodeExtenstions = "";
  options.Xcode = 1;
  options.NoQMarks = 0;
  options.UpdateOnly = 1;
  options.Recurse = 0;

  SaveOptions(store_, options);

  EXPECT_EQ(ReadFile(file_),
            "[Parameters]\n"
            "SkipSpecialDirs=0\n"
            "XCodeExtenstions=\n"
            "Xcode=1\n"
            "NoQMarks=0\n"
            "UpdateOnly=1\n"
            "Recurse=0\n");
  // An emptied list stays empty; it does not fall back to the default.
  const StoredOptions loaded = LoadOptions(store_);
  EXPECT_EQ(loaded.XCodeExtenstions, "");
  EXPECT_EQ(loaded.SkipSpecialDirs, 0);
  EXPECT_EQ(loaded.NoQMarks, 0);
  EXPECT_EQ(loaded.Recurse, 0);
}

TEST_F(StoredSettingsTest, SavingOneGroupLeavesTheOtherInPlace) {
  StoredOptions options;
  options.UpdateOnly = 0;
  SaveOptions(store_, options);
  publisher_.LocalDir = "/first/";
  SaveSettings(store_, publisher_);
  publisher_.LocalDir = "/second/";
  publisher_.Password = "secret";
  SaveSettings(store_, publisher_);
  options.UpdateOnly = 1;
  SaveOptions(store_, options);

  EXPECT_EQ(ReadFile(file_),
            "[Parameters]\n"
            "SkipSpecialDirs=1\n"
            "XCodeExtenstions=htm, html, txt\n"
            "Xcode=1\n"
            "NoQMarks=1\n"
            "UpdateOnly=1\n"
            "Recurse=1\n"
            "LocalDir=/second/\n"
            "Host=\n"
            "Name=\n"
            "RemoteDir=\n");
}

}  // namespace
}  // namespace ostrel

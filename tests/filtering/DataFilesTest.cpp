#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "filtering/DataFiles.h"
#include "platform/Files.h"
#include "shell/ProgramFolders.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

class DataFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("TARNWELL_DATA_DIR")) oldDataDir_ = old;
    setenv("TARNWELL_DATA_DIR", data_.Path().c_str(), 1);
    TProgramFolders::SetProgramFolder(program_.Path());
  }
  void TearDown() override {
    if (oldDataDir_)
      setenv("TARNWELL_DATA_DIR", oldDataDir_->c_str(), 1);
    else
      unsetenv("TARNWELL_DATA_DIR");
  }

  test::TTempDir data_;
  test::TTempDir program_;
  std::optional<std::string> oldDataDir_;
};

TEST_F(DataFilesTest, CopiesMissingFilesAndKeepsExistingOnes) {
  test::WriteFileText(data_ / "TLD.dat", "com\r\nuk\r\n");
  test::WriteFileText(data_ / "Countries.dat", "uk,United Kingdom=0\r\n");
  ASSERT_TRUE(ForceDirectories(data_ / "Complaints/Deep"));
  test::WriteFileText(data_ / "Complaints/Deep/Template.txt", "Dear abuse desk");
  test::WriteFileText(program_ / "Countries.dat", "uk,United Kingdom=1\r\n");

  EXPECT_TRUE(InstallDataFiles());
  EXPECT_EQ(test::ReadFileText(program_ / "TLD.dat"), "com\r\nuk\r\n");
  EXPECT_EQ(test::ReadFileText(program_ / "Complaints/Deep/Template.txt"), "Dear abuse desk");
  EXPECT_EQ(test::ReadFileText(program_ / "Countries.dat"), "uk,United Kingdom=1\r\n");

  test::WriteFileText(data_ / "TLD.dat", "a newer list");
  EXPECT_TRUE(InstallDataFiles());
  EXPECT_EQ(test::ReadFileText(program_ / "TLD.dat"), "com\r\nuk\r\n");
}

TEST_F(DataFilesTest, AMissingDataFolderIsReported) {
  setenv("TARNWELL_DATA_DIR", (data_ / "absent").c_str(), 1);
  EXPECT_FALSE(InstallDataFiles());
}

}  // namespace
}  // namespace tarnwell

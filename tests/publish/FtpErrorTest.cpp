#include "publish/ftp/FtpError.h"

#include <gtest/gtest.h>

#include <string>

namespace ostrel {
namespace {

TEST(FtpError, KeepsCodeAndShortMessage) {
  const FtpError error(530, "530 Login incorrect.");
  EXPECT_EQ(error.Code(), 530);
  EXPECT_EQ(error.Message(), "530 Login incorrect.");
  EXPECT_STREQ(error.what(), "530 Login incorrect.");
}

TEST(FtpError, CutsTheMessageTo127Characters) {
  const std::string longText = "550 " + std::string(200, 'x');
  const FtpError error(550, longText);
  EXPECT_EQ(error.Message(), longText.substr(0, 127));
  EXPECT_EQ(FtpError(550, longText.substr(0, 127)).Message().size(), 127u);
}

TEST(FtpError, SaysSoWhenThereIsNoText) {
  EXPECT_EQ(FtpError(FtpError::kSystemError, "").Message(), "No error message is available.");
}

}  // namespace
}  // namespace ostrel

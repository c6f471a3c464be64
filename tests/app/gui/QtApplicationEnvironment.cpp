#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "GuiTestSupport.h"

namespace {

// One QApplication for the whole test program, made before the first test
// and destroyed after the last; listing the tests makes none.
class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    application_ = std::make_unique<QApplication>(argumentCount_, arguments_);
    ostrel::test::FailOnMessageBoxes();
  }
  void TearDown() override { application_.reset(); }

 private:
  int argumentCount_ = 1;
  char programName_[16] = "ostrel_gui_test";
  char* arguments_[2] = {programName_, nullptr};
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace

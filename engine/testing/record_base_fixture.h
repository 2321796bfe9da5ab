// Test support: a small record base (record_base_files.h) opened through the C
// interface, with one session.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "lodex32.h"
#include "testing/record_base_files.h"
#include "registry.h"

namespace lodex::testing {

// An open base with one session over a written record base; closed at the end.
class RecordBaseTest : public ::testing::Test {
 protected:
  void Open(const RecordBaseSpec& def) {
    base_dir_ = tmp_.Sub("base");
    temp_dir_ = tmp_.Sub("temp");
    written_ = WriteRecordBase(base_dir_, def);
    base_ = APIOpenBaseEx(base_dir_.c_str(), nullptr, temp_dir_.c_str(), 0);
    ASSERT_GE(base_, 0);
    s_ = APICreateSession(base_);
    ASSERT_GE(s_, 0);
  }
  void TearDown() override {
    if (s_ >= 0) APIDestroySession(s_);
    if (base_ >= 0) APICloseBase(base_);
  }

  std::string Field(int32_t number, int32_t session = -1) {
    const char* t = APIGetFieldData(session < 0 ? s_ : session, number);
    return t ? t : "<null>";
  }
  std::string SlotFile(int32_t slot) const {
    char name[40];
    std::snprintf(name, sizeof name, "/~%x_%x.tmp", static_cast<unsigned>(s_),
                  static_cast<unsigned>(slot) & 0xFFFFu);
    return temp_dir_ + name;
  }

  TempDir tmp_;
  std::string base_dir_, temp_dir_;
  WrittenBase written_;
  int32_t base_ = -1;
  int32_t s_ = -1;
};

}  // namespace lodex::testing

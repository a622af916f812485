// Shared set-up of the library tests: a test identity with its own settings key.
#pragma once

#include "lib/Quorvane.h"
#include "support/qvtest.h"

#include <gtest/gtest.h>

namespace libt {

constexpr const char* kSettingsKey = "Software\\AppDataLow\\Software\\Quorvane\\LibTest";
constexpr const char* kFamilyKey = "Software\\Quorvane\\Quorvanes";
constexpr const char* kTitle = "Quorvane LibTest";
constexpr const char* kInternalName = "QvLibTest";

inline void SetIdentity() {
  LibSetProductInfo(GetModuleHandleA(nullptr), kTitle, "qv-LibTest", "qvLibTestClass", kInternalName, kInternalName,
                    kSettingsKey, "LibTest.hlp", "libtest.htm", "lib_tests.exe", 0, 0, 0, 0, 85, 71,
                    "https://www.quorvane.com/webdeck", "unused", 0);
}

// Every library test starts and ends with a clean settings key.
class LibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetIdentity();
    qvt::DeleteTree(HKEY_CURRENT_USER, kSettingsKey);
  }
  void TearDown() override { qvt::DeleteTree(HKEY_CURRENT_USER, kSettingsKey); }
};

}  // namespace libt

// The fake environment the other tests stand on: what it scripts, and that everything else is the
// real operating system.
#include "support/FakeEnv.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace dct::test {
namespace {

using platform::RegistryRoot;
using platform::RegistryStatus;

TEST(FakeEnv, ClockMovesOnlyWhenTheCodeSleeps) {
    FakeEnv env;
    const auto start = env.MonotonicNow();
    EXPECT_EQ(env.MonotonicNow(), start);
    env.SleepFor(std::chrono::milliseconds(3));
    env.SleepFor(std::chrono::milliseconds(7));
    EXPECT_EQ(env.MonotonicNow() - start, std::chrono::milliseconds(10));
    EXPECT_EQ(env.sleeps.size(), 2u);
    env.localTime = LocalTime{2001, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(env.LocalNow().Year, 2001);
}

TEST(FakeEnv, RegistryKeysExistOnlyWithAValueUnderThem) {
    FakeEnv env;
    EXPECT_EQ(env.ReadRegistryValue(RegistryRoot::CurrentUser, "K", "V", 16).Status, RegistryStatus::CannotOpenKey);
    env.SetRegistryText(RegistryRoot::CurrentUser, "K", "Other", "x");
    EXPECT_EQ(env.ReadRegistryValue(RegistryRoot::CurrentUser, "K", "V", 16).Status, RegistryStatus::CannotQuery);
    EXPECT_EQ(env.ReadRegistryValue(RegistryRoot::LocalMachine, "K", "Other", 16).Status,
              RegistryStatus::CannotOpenKey);
    env.SetRegistryText(RegistryRoot::CurrentUser, "K", "V", std::string(16, 'a'));
    EXPECT_EQ(env.ReadRegistryValue(RegistryRoot::CurrentUser, "K", "V", 16).Status, RegistryStatus::CannotQuery)
        << "17 bytes with the terminating zero do not fit 16";
    const platform::RegistryValue fits = env.ReadRegistryValue(RegistryRoot::CurrentUser, "K", "V", 17);
    EXPECT_EQ(fits.Status, RegistryStatus::Ok);
    EXPECT_EQ(fits.Type, platform::kRegistryString);
}

TEST(FakeEnv, WhatIsNotScriptedIsTheRealSystem) {
    FakeEnv env;
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "dct-fakeenv-test.ini";
    std::filesystem::remove(file);
    ASSERT_TRUE(env.ProfileWriteString(file.string(), "1", "Key", "fake"));
    EXPECT_EQ(platform::Env::Default().ProfileReadString(file.string(), "1", "Key", ""), "fake");
    EXPECT_EQ(&env.UserFormats(), &platform::Env::Default().UserFormats());
    env.formats = FormatSettings{};
    env.formats->DecimalSeparator = '#';
    EXPECT_EQ(env.UserFormats().DecimalSeparator, '#');
    EXPECT_TRUE(env.debugOutput.empty());
    env.DebugOutput("kept");
    EXPECT_EQ(env.debugOutput, std::vector<std::string>{"kept"});
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace dct::test

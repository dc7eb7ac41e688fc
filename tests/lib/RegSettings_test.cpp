#include "lib/RegSettings.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "support/FakeEnv.h"

using dct::platform::RegistryRoot;

namespace {

constexpr uint32_t kDword = 4;
constexpr uint32_t kExpandString = 2;

// The environment's registry is an in-memory one: keys exist when any value lives under them.
class FakeRegistry : public ::testing::Test {
protected:
    dct::test::FakeEnv env;

    void Set(RegistryRoot root, const std::string& key, const std::string& name, const std::string& text,
             uint32_t type = dct::platform::kRegistryString) {
        env.SetRegistryText(root, key, name, text, type);
    }
    std::string ReadRegistrySetting(const std::string& name, const std::string& defaultValue) {
        return dct::ReadRegistrySetting(env, name, defaultValue);
    }
};

const std::string kKey = "Software\\Tarnworks";

TEST_F(FakeRegistry, CurrentUserWinsOverLocalMachine) {
    Set(RegistryRoot::CurrentUser, kKey, "TraceDir", "C:\\user");
    Set(RegistryRoot::LocalMachine, kKey, "TraceDir", "C:\\machine");
    EXPECT_EQ(ReadRegistrySetting("TraceDir", "dflt"), "C:\\user");
}

TEST_F(FakeRegistry, LocalMachineWhenCurrentUserMissingOrEmpty) {
    Set(RegistryRoot::LocalMachine, kKey, "TraceDir", "C:\\machine");
    EXPECT_EQ(ReadRegistrySetting("TraceDir", "dflt"), "C:\\machine");
    Set(RegistryRoot::CurrentUser, kKey, "TraceDir", "");
    EXPECT_EQ(ReadRegistrySetting("TraceDir", "dflt"), "C:\\machine");
}

TEST_F(FakeRegistry, DefaultWhenNeitherHasIt) {
    EXPECT_EQ(ReadRegistrySetting("TraceDir", "dflt"), "dflt");
    Set(RegistryRoot::CurrentUser, kKey, "Other", "x");  // key opens, value missing
    EXPECT_EQ(ReadRegistrySetting("TraceDir", "dflt"), "dflt");
    EXPECT_EQ(ReadRegistrySetting("TraceDir", ""), "");
}

TEST_F(FakeRegistry, SubkeyBeforeTheFirstBackslash) {
    Set(RegistryRoot::CurrentUser, kKey + "\\Sub", "Value", "from sub");
    Set(RegistryRoot::CurrentUser, kKey + "\\Sub", "More\\Deep", "rest is the name");
    EXPECT_EQ(ReadRegistrySetting("Sub\\Value", "dflt"), "from sub");
    EXPECT_EQ(ReadRegistrySetting("Sub\\More\\Deep", "dflt"), "rest is the name");
}

TEST_F(FakeRegistry, ValueNameAfterTheSubkeyIsCutAt1000Characters) {
    ReadRegistrySetting("Sub\\" + std::string(1200, 'n'), "dflt");
    ASSERT_FALSE(env.registryQueries.empty());
    EXPECT_EQ(env.registryQueries.front().size(), 1000u);
}

TEST_F(FakeRegistry, OnlyPlainStringsCount) {
    Set(RegistryRoot::CurrentUser, kKey, "TraceDir", "%TEMP%\\x", kExpandString);
    Set(RegistryRoot::LocalMachine, kKey, "Number", "\x01\x02\x03", kDword);
    EXPECT_EQ(ReadRegistrySetting("TraceDir", "dflt"), "dflt");
    EXPECT_EQ(ReadRegistrySetting("Number", "dflt"), "dflt");
}

TEST_F(FakeRegistry, TextEndsAtTheFirstZeroByte) {
    Set(RegistryRoot::CurrentUser, kKey, "Multi", std::string("first\0second", 12));
    EXPECT_EQ(ReadRegistrySetting("Multi", "dflt"), "first");
    Set(RegistryRoot::LocalMachine, kKey, "Lead", std::string("\0tail", 5));
    EXPECT_EQ(ReadRegistrySetting("Lead", "dflt"), "dflt");
}

TEST_F(FakeRegistry, ValueLongerThanTheBufferReadsAsDefault) {
    Set(RegistryRoot::CurrentUser, kKey, "Long", std::string(5000, 'a'));
    Set(RegistryRoot::CurrentUser, kKey, "Fits", std::string(4095, 'a'));
    EXPECT_EQ(ReadRegistrySetting("Long", "dflt"), "dflt");
    EXPECT_EQ(ReadRegistrySetting("Fits", "dflt").size(), 4095u);
}

}  // namespace

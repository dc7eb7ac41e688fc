#include "lib/RegSettings.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "platform/Registry.h"

using dct::ReadRegistrySetting;
using dct::platform::RegistryRoot;
using dct::platform::RegistryStatus;
using dct::platform::RegistryValue;

namespace {

constexpr uint32_t kDword = 4;
constexpr uint32_t kExpandString = 2;

// An in-memory registry: keys exist when any value lives under them.
class FakeRegistry : public ::testing::Test {
protected:
    using Key = std::tuple<RegistryRoot, std::string, std::string>;
    std::map<Key, std::pair<uint32_t, std::string>> values;
    std::vector<std::string> queriedNames;

    void SetUp() override {
        dct::platform::OverrideRegistry([this](RegistryRoot root, const std::string& key, const std::string& name,
                                               std::size_t bufferSize) {
            queriedNames.push_back(name);
            bool keyExists = false;
            for (auto& [k, v] : values)
                if (std::get<0>(k) == root && std::get<1>(k) == key) keyExists = true;
            if (!keyExists) return RegistryValue{RegistryStatus::CannotOpenKey, 0, {}};
            auto it = values.find({root, key, name});
            if (it == values.end() || it->second.second.size() > bufferSize)
                return RegistryValue{RegistryStatus::CannotQuery, 0, {}};
            return RegistryValue{RegistryStatus::Ok, it->second.first, it->second.second};
        });
    }
    void TearDown() override { dct::platform::OverrideRegistry({}); }

    void Set(RegistryRoot root, const std::string& key, const std::string& name, const std::string& text,
             uint32_t type = dct::platform::kRegistryString) {
        values[{root, key, name}] = {type, text + std::string(1, '\0')};
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
    ASSERT_FALSE(queriedNames.empty());
    EXPECT_EQ(queriedNames.front().size(), 1000u);
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

// An environment for tests: the real operating system, except for what a test scripts.
//
// Scripted from the start, so that no test depends on the machine: the wall clock (a fixed time),
// the monotonic clock (it moves only when the code sleeps, unless realTime is set), the debugger
// output (collected), the registry (an empty one in memory), the environment variables (none) and
// the computer's name. Scripted when set: the user's formats, the module's file name and image
// section, folder creation, file appending and append streams. Everything else (the profile store, files, COM) is
// the real thing.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Env.h"

namespace dct::test {

class FakeEnv : public platform::EnvWrapper {
public:
    FakeEnv() : EnvWrapper(platform::Env::Default()) {}

    // ---- Time
    LocalTime localTime{2026, 3, 9, 14, 5, 7, 250};
    // The real monotonic clock and real sleeps, for code that waits for another thread.
    bool realTime = false;
    std::chrono::steady_clock::time_point monotonic{};
    std::vector<std::chrono::milliseconds> sleeps;

    // ---- What the code wrote to the debugger
    std::vector<std::string> debugOutput;

    // ---- Scripted when set
    std::optional<FormatSettings> formats;
    std::optional<std::string> moduleFileName;
    std::optional<std::vector<unsigned char>> imageSection;  // the module's debug section
    uintptr_t imageSectionBase = 0;
    std::function<bool(const std::string& path)> createFolder;
    std::function<platform::AppendResult(const std::string& path, std::string_view bytes, platform::AppendShare)>
        append;
    std::function<std::unique_ptr<platform::AppendStream>(const std::string& path)> openAppendStream;

    // ---- Always scripted
    std::optional<std::string> computerName = "TESTPC";
    std::map<std::string, std::string> environment;
    // Registry values by root, key and name: the type and the raw bytes. A key exists when a value
    // lives under it.
    std::map<std::tuple<platform::RegistryRoot, std::string, std::string>, std::pair<uint32_t, std::string>>
        registry;
    std::vector<std::string> registryQueries;  // the value names asked for, in order

    void SetRegistryText(platform::RegistryRoot root, const std::string& key, const std::string& name,
                         const std::string& text, uint32_t type = platform::kRegistryString) {
        registry[{root, key, name}] = {type, text + std::string(1, '\0')};
    }

    LocalTime LocalNow() override { return localTime; }
    std::chrono::steady_clock::time_point MonotonicNow() override;
    void SleepFor(std::chrono::milliseconds duration) override;
    void DebugOutput(std::string_view text) override;
    const FormatSettings& UserFormats() override { return formats ? *formats : Target().UserFormats(); }
    std::optional<std::string> ComputerName() override { return computerName; }
    std::string EnvironmentVariable(const std::string& name) override;
    bool CreateFolderWithParents(const std::string& path) override;
    std::string OwnModuleFileName() override;
    std::optional<platform::ImageSection> OwnImageSection(std::string_view name) override;
    platform::RegistryValue ReadRegistryValue(platform::RegistryRoot root, const std::string& key,
                                              const std::string& name, std::size_t bufferSize) override;
    platform::AppendResult AppendToFile(const std::string& path, std::string_view bytes,
                                        platform::AppendShare share) override;
    std::unique_ptr<platform::AppendStream> OpenAppendStream(const std::string& path) override {
        return openAppendStream ? openAppendStream(path) : Target().OpenAppendStream(path);
    }

private:
    std::mutex mutex_;  // the collections above may be written from several threads
};

}  // namespace dct::test

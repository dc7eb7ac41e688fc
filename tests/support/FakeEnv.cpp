#include "support/FakeEnv.h"

namespace dct::test {

std::chrono::steady_clock::time_point FakeEnv::MonotonicNow() {
    if (realTime) return Target().MonotonicNow();
    std::lock_guard lock(mutex_);
    return monotonic;
}

void FakeEnv::SleepFor(std::chrono::milliseconds duration) {
    if (realTime) return Target().SleepFor(duration);
    std::lock_guard lock(mutex_);
    sleeps.push_back(duration);
    monotonic += duration;
}

void FakeEnv::DebugOutput(std::string_view text) {
    std::lock_guard lock(mutex_);
    debugOutput.emplace_back(text);
}

std::string FakeEnv::EnvironmentVariable(const std::string& name) {
    auto it = environment.find(name);
    return it == environment.end() ? std::string() : it->second;
}

bool FakeEnv::CreateFolderWithParents(const std::string& path) {
    return createFolder ? createFolder(path) : Target().CreateFolderWithParents(path);
}

std::string FakeEnv::OwnModuleFileName() { return moduleFileName ? *moduleFileName : Target().OwnModuleFileName(); }

std::optional<platform::ImageSection> FakeEnv::OwnImageSection(std::string_view name) {
    if (!imageSection) return std::nullopt;
    return platform::ImageSection{imageSection->data(), imageSection->size(), imageSectionBase};
}

platform::RegistryValue FakeEnv::ReadRegistryValue(platform::RegistryRoot root, const std::string& key,
                                                   const std::string& name, std::size_t bufferSize) {
    std::lock_guard lock(mutex_);
    registryQueries.push_back(name);
    bool keyExists = false;
    for (const auto& [where, value] : registry)
        if (std::get<0>(where) == root && std::get<1>(where) == key) keyExists = true;
    if (!keyExists) return {platform::RegistryStatus::CannotOpenKey, 0, {}};
    auto it = registry.find({root, key, name});
    if (it == registry.end() || it->second.second.size() > bufferSize) return {platform::RegistryStatus::CannotQuery, 0, {}};
    return {platform::RegistryStatus::Ok, it->second.first, it->second.second};
}

platform::AppendResult FakeEnv::AppendToFile(const std::string& path, std::string_view bytes,
                                             platform::AppendShare share) {
    return append ? append(path, bytes, share) : Target().AppendToFile(path, bytes, share);
}

}  // namespace dct::test

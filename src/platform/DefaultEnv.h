// The real operating system as an Env: declared once here, its members defined per platform in the
// seam files of src/platform/win32 and src/platform/posix (Clock.cpp, Registry.cpp...). Only the
// platform layer uses this header; everyone else reaches it through Env::Default().
#pragma once

#include "platform/Env.h"

namespace dct::platform {

class DefaultEnv final : public Env {
public:
    // Reads the user's formats now: the process keeps the ones of the moment the library loads.
    DefaultEnv();

    LocalTime LocalNow() override;
    std::chrono::steady_clock::time_point MonotonicNow() override;
    void SleepFor(std::chrono::milliseconds duration) override;
    void DebugOutput(std::string_view text) override;
    const FormatSettings& UserFormats() override { return formats_; }
    std::optional<std::string> ComputerName() override;
    std::string EnvironmentVariable(const std::string& name) override;
    bool CreateFolderWithParents(const std::string& path) override;
    std::string OwnModuleFileName() override;
    std::optional<ImageSection> OwnImageSection(std::string_view name) override;
    RegistryValue ReadRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                                    std::size_t bufferSize) override;
    std::string ProfileReadString(const std::string& file, const std::string& section, const std::string& key,
                                  const std::string& fallback) override;
    std::vector<std::string> ProfileSectionNames(const std::string& file) override;
    std::vector<std::string> ProfileKeyNames(const std::string& file, const std::string& section) override;
    bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& value) override;
    bool ProfileEraseSection(const std::string& file, const std::string& section) override;
    AppendResult AppendToFile(const std::string& path, std::string_view bytes, AppendShare share) override;
    std::unique_ptr<AppendStream> OpenAppendStream(const std::string& path) override;
    HRESULT GetActiveOrCreateObject(REFCLSID clsid, IUnknown** object) override;

private:
    const FormatSettings formats_;
};

}  // namespace dct::platform

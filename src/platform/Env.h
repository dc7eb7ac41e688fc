// The operating-system services the library uses, behind one interface.
//
// Env::Default() is the real operating system (win32: the Windows APIs; posix: our small stand-ins),
// one object for the whole process. Everything above the platform layer that needs one of these
// services is handed an Env when it is made: the boundary passes the default, tests pass a fake
// (tests/support/FakeEnv.h) that scripts the clock, the registry, the environment and the rest.
// EnvWrapper forwards every call to another Env, so that a fake overrides only what it scripts.
//
// Services that no test needs to script stay free functions of their own seam (text conversion,
// dialogs, locks, exception hooks, module images).
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ComBase.h"
#include "base/FormatSettings.h"
#include "base/LocalTime.h"

namespace dct::platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

enum class RegistryStatus {
    Ok,
    CannotOpenKey,  // the key is missing or may not be read
    CannotQuery,    // the value is missing or larger than the buffer
};

// The registry's type code of a plain string value (REG_SZ).
constexpr uint32_t kRegistryString = 1;

struct RegistryValue {
    RegistryStatus Status = RegistryStatus::CannotOpenKey;
    uint32_t Type = 0;  // the registry's type code, valid when Status is Ok
    std::string Data;   // the raw bytes as stored, terminating zero included
};

// Longest profile value the library reads (the runtime reads through a 2048-character buffer).
constexpr std::size_t kProfileValueMax = 2047;

enum class AppendShare {
    None,      // exclusive: nobody else may open the file meanwhile (the driver log)
    ReadOnly,  // others may read but not write (the trace files)
};

enum class AppendStatus { Ok, CannotCreate, CannotOpen, CannotWrite };

struct AppendResult {
    AppendStatus Status = AppendStatus::Ok;
    unsigned long SystemError = 0;  // the platform's error code when Status is not Ok
    // Someone else holds the file (a sharing or lock violation), also while creating it: trying
    // again shortly may succeed.
    bool Busy = false;
};

// A file kept open for appending, for a writer that appends often: opening the file for every append
// would cost more than the write. Closed when the object goes.
class AppendStream {
public:
    virtual ~AppendStream() = default;
    // Writes all the bytes at the end of the file; false when they could not all be written.
    virtual bool Append(std::string_view bytes) = 0;
};

// A section of a loaded image as mapped in memory, with the base its addresses are relative to.
struct ImageSection {
    const unsigned char* Data = nullptr;
    std::size_t Size = 0;
    uintptr_t Base = 0;
};

class Env {
public:
    Env() = default;
    virtual ~Env() = default;
    Env(const Env&) = delete;
    Env& operator=(const Env&) = delete;

    // The real operating system. Never destroyed: the trace may still use it while the module's
    // other static objects go away.
    static Env& Default();

    // ---- Time
    virtual LocalTime LocalNow() = 0;
    // A clock for waiting and timing out, unaffected by changes of the wall clock.
    virtual std::chrono::steady_clock::time_point MonotonicNow() = 0;
    virtual void SleepFor(std::chrono::milliseconds duration) = 0;

    // ---- The debugger output channel (OutputDebugStringA on win32)
    virtual void DebugOutput(std::string_view text) = 0;

    // ---- The user's formats, as the process first read them (win32: the user's locale; posix:
    // English defaults with the names of the C library's "C" locale).
    virtual const FormatSettings& UserFormats() = 0;

    // ---- The computer and the process
    // The computer's name (at most 1023 characters), or nothing when it cannot be read.
    virtual std::optional<std::string> ComputerName() = 0;
    // The value of an environment variable; unset and empty read alike as empty text.
    virtual std::string EnvironmentVariable(const std::string& name) = 0;
    // Creates the folder together with every missing parent. An empty path is refused (false) and
    // nothing is created; so is a path that names no folder this platform can create.
    virtual bool CreateFolderWithParents(const std::string& path) = 0;
    // The file name of the module that contains this code (the DLL, or a test program) as the
    // loader knows it, at most 1023 characters.
    virtual std::string OwnModuleFileName() = 0;
    // A section of that module's loaded image by its name (at most eight characters).
    virtual std::optional<ImageSection> OwnImageSection(std::string_view name) = 0;

    // ---- The registry (advapi32 on win32; nothing is there on posix)
    // Opens `key` under `root` for reading and queries `name` into a buffer of `bufferSize` bytes.
    virtual RegistryValue ReadRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                                            std::size_t bufferSize) = 0;

    // ---- The private-profile store: each call a complete access to the file, texts 8-bit in the
    // ANSI code page (win32: kernel32's profile functions; posix: the library's INI engine).
    // The value of `key` in `section`, blanks around it removed, at most kProfileValueMax
    // characters; `fallback` when the file, the section or the key is absent.
    virtual std::string ProfileReadString(const std::string& file, const std::string& section,
                                          const std::string& key, const std::string& fallback) = 0;
    // Names of all sections in file order; none when the file is absent.
    virtual std::vector<std::string> ProfileSectionNames(const std::string& file) = 0;
    // Names of the entries of `section` in file order; none when the file or the section is absent.
    virtual std::vector<std::string> ProfileKeyNames(const std::string& file, const std::string& section) = 0;
    // Writes the value in place or appends it; false when the platform refused the write.
    virtual bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                                    const std::string& value) = 0;
    // Erases the section with all its entries; false when the platform refused the write.
    virtual bool ProfileEraseSection(const std::string& file, const std::string& section) = 0;

    // ---- Files
    // Creates the file when it does not exist, opens it with the given sharing, positions at its
    // end, writes the bytes, closes it. An existing file is never truncated.
    virtual AppendResult AppendToFile(const std::string& path, std::string_view bytes, AppendShare share) = 0;
    // Creates the file when it does not exist and keeps it open for appending; others may read it
    // meanwhile but not write. Null when it cannot be created or opened.
    virtual std::unique_ptr<AppendStream> OpenAppendStream(const std::string& path) = 0;

    // ---- COM, as a client of an outside server
    // The instance registered as running for the class (the running-object table), else a new one
    // of an in-process or a local server (never a remote one). On success *object holds an owned
    // reference; on failure it is null and the status is the creation's (a failed look-up in the
    // running-object table only means that no instance is running).
    virtual HRESULT GetActiveOrCreateObject(REFCLSID clsid, IUnknown** object) = 0;
};

// Forwards every call to another environment; a subclass overrides what it changes.
class EnvWrapper : public Env {
public:
    explicit EnvWrapper(Env& target) : target_(target) {}
    Env& Target() const { return target_; }

    LocalTime LocalNow() override { return target_.LocalNow(); }
    std::chrono::steady_clock::time_point MonotonicNow() override { return target_.MonotonicNow(); }
    void SleepFor(std::chrono::milliseconds duration) override { target_.SleepFor(duration); }
    void DebugOutput(std::string_view text) override { target_.DebugOutput(text); }
    const FormatSettings& UserFormats() override { return target_.UserFormats(); }
    std::optional<std::string> ComputerName() override { return target_.ComputerName(); }
    std::string EnvironmentVariable(const std::string& name) override { return target_.EnvironmentVariable(name); }
    bool CreateFolderWithParents(const std::string& path) override { return target_.CreateFolderWithParents(path); }
    std::string OwnModuleFileName() override { return target_.OwnModuleFileName(); }
    std::optional<ImageSection> OwnImageSection(std::string_view name) override {
        return target_.OwnImageSection(name);
    }
    RegistryValue ReadRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                                    std::size_t bufferSize) override {
        return target_.ReadRegistryValue(root, key, name, bufferSize);
    }
    std::string ProfileReadString(const std::string& file, const std::string& section, const std::string& key,
                                  const std::string& fallback) override {
        return target_.ProfileReadString(file, section, key, fallback);
    }
    std::vector<std::string> ProfileSectionNames(const std::string& file) override {
        return target_.ProfileSectionNames(file);
    }
    std::vector<std::string> ProfileKeyNames(const std::string& file, const std::string& section) override {
        return target_.ProfileKeyNames(file, section);
    }
    bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& value) override {
        return target_.ProfileWriteString(file, section, key, value);
    }
    bool ProfileEraseSection(const std::string& file, const std::string& section) override {
        return target_.ProfileEraseSection(file, section);
    }
    AppendResult AppendToFile(const std::string& path, std::string_view bytes, AppendShare share) override {
        return target_.AppendToFile(path, bytes, share);
    }
    std::unique_ptr<AppendStream> OpenAppendStream(const std::string& path) override {
        return target_.OpenAppendStream(path);
    }
    HRESULT GetActiveOrCreateObject(REFCLSID clsid, IUnknown** object) override {
        return target_.GetActiveOrCreateObject(clsid, object);
    }

private:
    Env& target_;
};

}  // namespace dct::platform

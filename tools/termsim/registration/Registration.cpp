#include "Registration.h"

#include <olectl.h>
#include <shellapi.h>

#include <vector>

#include "terminals/ITerminals.h"
#include "platform/win32/Handle.h"

namespace dct::termsim {
namespace {

using platform::UniqueRegKey;

using UniqueArgumentList = platform::UniqueLocalMemory<LPWSTR*>;  // from CommandLineToArgvW

constexpr wchar_t kMarker[] = L"DctTermSim";
// What the marker held before it recorded the server entry. Such a key stays the simulator's while
// its server entries name the simulator's own files.
constexpr wchar_t kLegacyMark[] = L"1";
constexpr wchar_t kDescription[] = L"Terminal server simulator (DctTermSim)";
// Ole Automation's marshaller, which builds proxies and stubs from the registered type library.
constexpr wchar_t kTypeLibMarshaller[] = L"{00020424-0000-0000-C000-000000000046}";
constexpr wchar_t kTypeLibServer[] = L"1.0\\0\\win32";

std::wstring Guid(REFGUID guid) {
    wchar_t text[64];
    StringFromGUID2(guid, text, 64);
    return text;
}
std::wstring ClassKey() { return L"CLSID\\" + Guid(CLSID_Terminals); }
std::wstring InterfaceKey() { return L"Interface\\" + Guid(IID_ITerminals); }
std::wstring TypeLibKey() { return L"TypeLib\\" + Guid(LIBID_DctTermSim); }

UniqueRegKey OpenKey(const std::wstring& path) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return {};
    return UniqueRegKey(raw);
}

// A string value; a null name is the key's default value.
std::optional<std::wstring> ReadString(const std::wstring& path, const wchar_t* name) {
    constexpr DWORD kTypes = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, kTypes, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, kTypes, nullptr, text.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

bool Empty(HKEY key) {
    DWORD subkeys = 0, values = 0;
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                            nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

// The file name of the program a server entry names: the quoted or first word, after its folder.
std::wstring ProgramFile(const std::wstring& entry) {
    std::wstring program = entry;
    if (!program.empty() && program[0] == L'"')
        program = program.substr(1, program.find(L'"', 1) - 1);
    else
        program = program.substr(0, program.find(L' '));
    return program.substr(program.find_last_of(L"\\/") + 1);
}

// Whether a value of a server entry is what the simulator wrote there, given the record its marker holds.
using EntryTest = bool (*)(const std::wstring& value, const std::wstring& record);

bool IsRecorded(const std::wstring& value, const std::wstring& record) {
    if (record != kLegacyMark) return value == record;
    const std::wstring file = ProgramFile(value);
    return SameText(file, L"TermSim.dll") || SameText(file, L"TermSimServer.exe");
}
bool IsTypeLibMarshaller(const std::wstring& value, const std::wstring&) {
    return SameText(value, kTypeLibMarshaller);
}
bool IsSimulatorTypeLib(const std::wstring& value, const std::wstring&) {
    return SameText(value, Guid(LIBID_DctTermSim));
}

// A value, in a subkey of the key, that names the server behind the key: what a server's own
// registration writes.
struct ServerEntry {
    const wchar_t* subkey;
    EntryTest ours;
};

struct KeyRule {
    std::wstring path;
    std::vector<ServerEntry> entries;
    HRESULT refusal;
};

KeyRule ClassRule() {
    return {ClassKey(), {{L"InprocServer32", IsRecorded}, {L"LocalServer32", IsRecorded}}, SELFREG_E_CLASS};
}
KeyRule InterfaceRule() {
    return {InterfaceKey(),
            {{L"ProxyStubClsid32", IsTypeLibMarshaller}, {L"TypeLib", IsSimulatorTypeLib}},
            SELFREG_E_CLASS};
}
KeyRule TypeLibRule() {
    return {TypeLibKey(), {{kTypeLibServer, IsRecorded}}, SELFREG_E_TYPELIB};
}

enum class Owner { None, Simulator, Other, OverSimulator };

struct Ownership {
    Owner owner = Owner::None;
    std::wstring names;  // what a server entry of another server names
};

Ownership OwnerOf(const KeyRule& rule) {
    UniqueRegKey key = OpenKey(rule.path);
    if (!key) return {};
    const std::optional<std::wstring> record = ReadString(rule.path, kMarker);
    for (const ServerEntry& entry : rule.entries) {
        const std::wstring path = rule.path + L"\\" + entry.subkey;
        UniqueRegKey sub = OpenKey(path);
        if (!sub) continue;
        const std::optional<std::wstring> value = ReadString(path, nullptr);
        // A subkey made but not yet filled is a registration cut short, the simulator's own if marked.
        if (!value && Empty(sub.get())) continue;
        if (!record) return {Owner::Other, value.value_or(L"")};
        if (!value || !entry.ours(*value, *record)) return {Owner::OverSimulator, value.value_or(L"")};
    }
    if (record) return {Owner::Simulator, {}};
    // Made and left empty (a registration cut short before its marker): nobody's.
    return {Empty(key.get()) ? Owner::None : Owner::Other, {}};
}

// One string value under HKEY_CLASSES_ROOT; a null name is the key's default value.
struct Value {
    std::wstring key;
    const wchar_t* name;
    std::wstring text;
};

// In order: each key's marker comes first, so that a registration cut short anywhere leaves keys
// that carry it and are removed as the simulator's.
bool Write(const std::vector<Value>& values) {
    for (const Value& v : values) {
        HKEY raw = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, v.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr) !=
            ERROR_SUCCESS)
            return false;
        UniqueRegKey key(raw);
        if (RegSetValueExW(key.get(), v.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.text.c_str()),
                           static_cast<DWORD>((v.text.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
            return false;
    }
    return true;
}

// Removes every key that is the simulator's.
HRESULT RemoveOurs() {
    bool removed = true;
    for (const KeyRule& rule : {ClassRule(), InterfaceRule(), TypeLibRule()})
        if (OwnerOf(rule).owner == Owner::Simulator)
            removed = RegDeleteTreeW(HKEY_CLASSES_ROOT, rule.path.c_str()) == ERROR_SUCCESS && removed;
    return removed ? S_OK : SELFREG_E_CLASS;
}

// Writes all values or, failing, leaves nothing of the simulator's behind.
HRESULT WriteAll(const std::vector<Value>& values, HRESULT failure) {
    if (Write(values)) return S_OK;
    RemoveOurs();
    return failure;
}

std::vector<Value> ClassValues(const wchar_t* serverKey, const std::wstring& server) {
    const std::wstring key = ClassKey();
    return {{key, kMarker, server}, {key, nullptr, kDescription}, {key + L"\\" + serverKey, nullptr, server}};
}

}  // namespace

std::optional<ForeignKey> Obstacle(Change change) {
    const KeyRule rules[] = {ClassRule(), InterfaceRule(), TypeLibRule()};
    for (const KeyRule& rule : rules) {
        const Ownership o = OwnerOf(rule);
        const bool isClass = rule.path == rules[0].path, isTypeLib = rule.path == rules[2].path;
        const bool stops =
            o.owner == Owner::OverSimulator || (o.owner == Owner::Other && change != Change::Unregister &&
                                                (isClass || (isTypeLib && change == Change::RegisterLocal)));
        if (stops) return ForeignKey{rule.path, o.names, o.owner == Owner::OverSimulator, rule.refusal};
    }
    return std::nullopt;
}

HRESULT RegisterInProcessServer(const std::wstring& dllPath) {
    if (auto obstacle = Obstacle(Change::RegisterInProcess)) return obstacle->refusal;
    if (HRESULT hr = RemoveOurs(); FAILED(hr)) return hr;
    std::vector<Value> values = ClassValues(L"InprocServer32", dllPath);
    values.push_back({ClassKey() + L"\\InprocServer32", L"ThreadingModel", L"Apartment"});
    return WriteAll(values, SELFREG_E_CLASS);
}

HRESULT RegisterLocalServer(const std::wstring& exePath, const std::wstring& deviceFolder) {
    if (auto obstacle = Obstacle(Change::RegisterLocal)) return obstacle->refusal;
    if (HRESULT hr = RemoveOurs(); FAILED(hr)) return hr;
    std::wstring command = L"\"" + exePath + L"\"";
    if (!deviceFolder.empty()) command += L" --device " + QuoteArgument(deviceFolder);
    std::vector<Value> values = ClassValues(L"LocalServer32", command);
    const std::wstring lib = TypeLibKey(), version = lib + L"\\1.0";
    values.insert(values.end(), {{lib, kMarker, exePath},
                                 {version, nullptr, kDescription},
                                 {version + L"\\FLAGS", nullptr, L"0"},
                                 {lib + L"\\" + kTypeLibServer, nullptr, exePath}});
    // At a station the interface's key belongs to the real server; its marshalling stays in force.
    const std::wstring intf = InterfaceKey(), libid = Guid(LIBID_DctTermSim);
    if (OwnerOf(InterfaceRule()).owner == Owner::None)
        values.insert(values.end(), {{intf, kMarker, libid},
                                     {intf, nullptr, L"ITerminals"},
                                     {intf + L"\\ProxyStubClsid32", nullptr, kTypeLibMarshaller},
                                     {intf + L"\\TypeLib", nullptr, libid},
                                     {intf + L"\\TypeLib", L"Version", L"1.0"}});
    return WriteAll(values, SELFREG_E_CLASS);
}

HRESULT UnregisterServer() {
    if (auto obstacle = Obstacle(Change::Unregister)) return obstacle->refusal;
    return RemoveOurs();
}

Registered RegisteredServer() {
    switch (OwnerOf(ClassRule()).owner) {
        case Owner::None: return Registered::None;
        case Owner::Other:
        case Owner::OverSimulator:
            return Registered::Other;
        case Owner::Simulator: break;
    }
    return OpenKey(ClassKey() + L"\\LocalServer32") ? Registered::Local : Registered::InProcess;
}

std::optional<std::wstring> RegisteredDeviceFolder() {
    if (RegisteredServer() != Registered::Local) return std::nullopt;
    const std::optional<std::wstring> command = ReadString(ClassKey() + L"\\LocalServer32", nullptr);
    if (!command) return std::nullopt;
    int count = 0;
    UniqueArgumentList words(CommandLineToArgvW(command->c_str(), &count));
    if (!words) return std::nullopt;
    std::optional<std::wstring> folder;
    for (int i = 1; i + 1 < count; ++i)
        if (std::wstring(words.get()[i]) == L"--device") folder = words.get()[i + 1];
    return folder;
}

std::wstring QuoteArgument(const std::wstring& argument) {
    // Backslashes are literal except before a quote, where each pair gives one: double those that
    // come before an inner quote or the closing one.
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        out.push_back(c);
        backslashes = 0;
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

}  // namespace dct::termsim

// Client of the terminal-communication COM server (type library AddIn, coclass Terminals,
// interface ITerminals).
//
// Every operation connects on demand. A failing HRESULT raises EOleException; a server that cannot
// be created raises EOleSysError; an object without ITerminals raises EIntfCastError. Nothing here
// catches. Strings cross as UTF-16 and are converted with the system's ANSI code page.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "ComBase.h"
#include "base/Exceptions.h"
#include "platform/ComPtr.h"
#include "platform/Env.h"

namespace dct {

// {3A9E81C3-133A-11D6-9917-80E62FD8C953}
inline constexpr CLSID CLSID_Terminals = {0x3A9E81C3, 0x133A, 0x11D6, {0x99, 0x17, 0x80, 0xE6, 0x2F, 0xD8, 0xC9, 0x53}};
// {3A9E81C1-133A-11D6-9917-80E62FD8C953}
inline constexpr IID IID_ITerminals = {0x3A9E81C1, 0x133A, 0x11D6, {0x99, 0x17, 0x80, 0xE6, 0x2F, 0xD8, 0xC9, 0x53}};

// The server's function table after IUnknown (0..2) and IDispatch (3..6), one entry per position:
// OP(position, name, parameters) for the operations this library calls, RESERVED(position) for the
// others, which only hold their place. The interface, the simulator's placeholders and the position
// check below are all generated from this one list.
// clang-format off
#define DCT_ITERMINALS_TABLE(OP, RESERVED) \
    OP(7, ShowProperties, (int32_t* result)) \
    OP(8, BeginReport, (int32_t* status)) \
    OP(9, EndReport, (int32_t* status)) \
    OP(10, GetRecord, (int32_t* status)) \
    RESERVED(11) \
    OP(12, Set_BaudRate, (int32_t value)) \
    RESERVED(13) RESERVED(14) RESERVED(15) RESERVED(16) RESERVED(17) \
    OP(18, Set_PortNumber, (int32_t value)) \
    RESERVED(19) RESERVED(20) RESERVED(21) \
    OP(22, Get_ResultDescription, (BSTR* value)) \
    RESERVED(23) RESERVED(24) \
    OP(25, Set_FormNumber, (int32_t value)) \
    OP(26, Get_DeviceEnabled, (uint8_t* value)) \
    RESERVED(27) \
    OP(28, Clear, (int32_t* status)) \
    RESERVED(29) \
    OP(30, Set_ShowProgress, (VARIANT_BOOL value)) \
    OP(31, GetFieldCount, (uint8_t* value)) \
    RESERVED(32) RESERVED(33) RESERVED(34) RESERVED(35) RESERVED(36) RESERVED(37) RESERVED(38) RESERVED(39) \
    RESERVED(40) RESERVED(41) RESERVED(42) RESERVED(43) RESERVED(44) RESERVED(45) RESERVED(46) RESERVED(47) \
    RESERVED(48) RESERVED(49) RESERVED(50) RESERVED(51) RESERVED(52) RESERVED(53) RESERVED(54) RESERVED(55) \
    RESERVED(56) RESERVED(57) RESERVED(58) RESERVED(59) RESERVED(60) RESERVED(61) RESERVED(62) RESERVED(63) \
    RESERVED(64) RESERVED(65) RESERVED(66) RESERVED(67) RESERVED(68) \
    OP(69, BeginDownLoadTable, (int32_t* status)) \
    OP(70, ClearTableBuffer, (int32_t* status)) \
    OP(71, AddInTable, (BSTR field, int32_t* status)) \
    OP(72, DownLoadTable, (int32_t* status)) \
    RESERVED(73) RESERVED(74) RESERVED(75) RESERVED(76) \
    OP(77, LoadFormFromFile, (BSTR path, int32_t* status)) \
    RESERVED(78) RESERVED(79) RESERVED(80) RESERVED(81) RESERVED(82) RESERVED(83) RESERVED(84) RESERVED(85) \
    RESERVED(86) RESERVED(87) RESERVED(88) RESERVED(89) RESERVED(90) RESERVED(91) RESERVED(92) RESERVED(93) \
    RESERVED(94) RESERVED(95) \
    OP(96, GetField, (int32_t index, BSTR* value)) \
    RESERVED(97) RESERVED(98) \
    OP(99, AddToTable, (int32_t* status)) \
    RESERVED(100) RESERVED(101) RESERVED(102) RESERVED(103) RESERVED(104) RESERVED(105) RESERVED(106) \
    RESERVED(107)
// clang-format on

#define DCT_ITERMINALS_DECLARE_OP(pos, name, params) virtual HRESULT __stdcall name params = 0;
#define DCT_ITERMINALS_DECLARE_RESERVED(pos) virtual HRESULT __stdcall Reserved##pos() = 0;

// Each operation returns a COM status and hands its value out through its last parameter. Out strings
// are allocated by the server and freed by the caller. No virtual destructor: the function table must
// hold exactly the operations, in order.
struct ITerminals : IDispatch {
    DCT_ITERMINALS_TABLE(DCT_ITERMINALS_DECLARE_OP, DCT_ITERMINALS_DECLARE_RESERVED)
};

#undef DCT_ITERMINALS_DECLARE_OP
#undef DCT_ITERMINALS_DECLARE_RESERVED

// Position of every operation in the function table, by name.
#define DCT_ITERMINALS_SLOT_OP(pos, name, params) name = pos,
#define DCT_ITERMINALS_SLOT_RESERVED(pos) Reserved##pos = pos,
enum class ITerminalsSlot : int { DCT_ITERMINALS_TABLE(DCT_ITERMINALS_SLOT_OP, DCT_ITERMINALS_SLOT_RESERVED) };
#undef DCT_ITERMINALS_SLOT_OP
#undef DCT_ITERMINALS_SLOT_RESERVED

namespace detail {
// The declaration order is the table order, so the list must name positions 7, 8, ... 107 in turn.
#define DCT_ITERMINALS_POSITION(pos, ...) pos,
inline constexpr int kITerminalsPositions[] = {DCT_ITERMINALS_TABLE(DCT_ITERMINALS_POSITION, DCT_ITERMINALS_POSITION)};
#undef DCT_ITERMINALS_POSITION
consteval bool ITerminalsPositionsInOrder() {
    for (int i = 0; i < static_cast<int>(std::size(kITerminalsPositions)); ++i)
        if (kITerminalsPositions[i] != 7 + i) return false;
    return true;
}
static_assert(std::size(kITerminalsPositions) == 101, "ITerminals declares 101 operations of its own");
static_assert(ITerminalsPositionsInOrder(), "ITerminals operations must sit at positions 7..107 in order");
}  // namespace detail

class TTerminals;

namespace detail {

platform::UniqueBstr ToBstr(std::string_view text);
AnsiString ToAnsi(const platform::UniqueBstr& text);
void ToAnsi(const platform::UniqueBstr& text, AnsiString& into);

// An input of an operation as the server takes it; texts become COM strings for the call.
template <typename Param>
struct InArg {
    template <typename Arg>
    explicit InArg(Arg&& arg) : value(static_cast<Param>(arg)) {}
    Param get() const { return value; }
    Param value;
};
template <>
struct InArg<BSTR> {
    explicit InArg(std::string_view text) : value(ToBstr(text)) {}
    BSTR get() const { return value.get(); }
    platform::UniqueBstr value;
};

// The value an operation hands out through its last parameter, as the client returns it. A string
// is owned before the status is looked at: a server may hand one out and still fail.
template <typename Value>
struct OutArg {
    Value* put() { return &value; }
    Value take() { return value; }
    Value value{};
};
template <>
struct OutArg<BSTR> {
    BSTR* put() { return value.put(); }
    AnsiString take() { return ToAnsi(value); }
    void TakeInto(AnsiString& text) { ToAnsi(value, text); }
    platform::UniqueBstr value;
};

// The parameter types of an operation of the table.
template <typename Operation>
struct ParametersOf;
template <typename... Params>
struct ParametersOf<HRESULT (__stdcall ITerminals::*)(Params...)> {
    using List = std::tuple<Params...>;
};

// True when the call gives a string of the caller's in place of a trailing text out parameter.
template <typename ParamList, typename ArgList>
constexpr bool TextIntoLastArgument() {
    constexpr std::size_t n = std::tuple_size_v<ParamList>;
    if constexpr (n == 0 || std::tuple_size_v<ArgList> != n)
        return false;
    else
        return std::is_same_v<std::tuple_element_t<n - 1, ParamList>, BSTR*> &&
               std::is_same_v<std::tuple_element_t<n - 1, ArgList>, AnsiString>;
}

}  // namespace detail

class TTerminals {
public:
    explicit TTerminals(platform::Env& env);  // unconnected; no owner
    ~TTerminals();                            // disconnects
    TTerminals(const TTerminals&) = delete;
    TTerminals& operator=(const TTerminals&) = delete;

    // Attaches to the running server or creates one, through the environment.
    void Connect();
    void Disconnect();
    ITerminals* GetDefaultInterface() { return FIntf ? FIntf.get() : ConnectForCall(); }

    // Set when a call found the server gone (its process ended, the connection broke): the
    // interface was dropped then, and the next call connects to a new server, which knows nothing
    // the old one was told. It stays set until taken, by whatever tells the new server again.
    bool ServerLost() const { return FServerLost; }
    bool TakeServerLost() { return std::exchange(FServerLost, false); }
    // How many times a server was lost so far: work begun on one connection can tell whether that
    // connection is still the one in use.
    uint32_t Losses() const { return FLosses; }

    // One method for each operation of the table that the library calls, with its name: it
    // connects on demand, takes the inputs as the library holds them (texts as 8-bit strings),
    // checks the status and returns the value of the trailing out parameter, if any (texts again as
    // 8-bit strings). E.g. BeginReport() -> int32_t, Set_PortNumber(int32_t),
    // GetField(int32_t) -> AnsiString, AddInTable(std::string_view) -> int32_t. A text it hands out
    // may instead go into a string of the caller's, given as the last argument: GetField(1, code)
    // reuses code's storage.
#define DCT_TERMINALS_CLIENT_OP(pos, name, params)                        \
    template <typename... Args>                                            \
    auto name(Args&&... args) {                                            \
        return Call<&ITerminals::name>(std::forward<Args>(args)...);       \
    }
#define DCT_TERMINALS_CLIENT_RESERVED(pos)
    DCT_ITERMINALS_TABLE(DCT_TERMINALS_CLIENT_OP, DCT_TERMINALS_CLIENT_RESERVED)
#undef DCT_TERMINALS_CLIENT_OP
#undef DCT_TERMINALS_CLIENT_RESERVED

private:
    // The operation is a template argument, so that its call is an ordinary virtual call.
    template <auto Operation, typename... Args>
    auto Call(Args&&... args);

    // Connects, or raises the assertion failure of a client that could not be connected.
    ITerminals* ConnectForCall();
    // Raises EOleException for a failing status; other statuses, positive ones included, pass. A
    // status that says the server is gone drops the interface.
    void Check(HRESULT status) {
        if (FAILED(status)) Fail(status);
    }
    [[noreturn]] void Fail(HRESULT status);

    platform::Env& FEnv;
    platform::ComPtr<ITerminals> FIntf;  // the held interface, or none
    bool FServerLost = false;
    uint32_t FLosses = 0;
};

template <auto Operation, typename... Args>
auto TTerminals::Call(Args&&... args) {
    using ParamList = typename detail::ParametersOf<decltype(Operation)>::List;
    constexpr std::size_t kParams = std::tuple_size_v<ParamList>;
    using ArgList = std::tuple<std::remove_cvref_t<Args>...>;
    // A text handed out may go into the caller's string, given in place of the out parameter.
    constexpr bool kInto = detail::TextIntoLastArgument<ParamList, ArgList>();
    constexpr std::size_t kInputs = kInto ? sizeof...(Args) - 1 : sizeof...(Args);
    static_assert(kInputs == kParams || kInputs + 1 == kParams,
                  "every parameter but a trailing out parameter takes an argument");
    ITerminals* intf = GetDefaultInterface();
    auto arguments = std::forward_as_tuple(std::forward<Args>(args)...);
    return [&]<std::size_t... I>(std::index_sequence<I...>) {
        std::tuple<detail::InArg<std::tuple_element_t<I, ParamList>>...> in(std::get<I>(arguments)...);
        if constexpr (kInputs == kParams) {
            Check((intf->*Operation)(std::get<I>(in).get()...));
        } else {
            detail::OutArg<std::remove_pointer_t<std::tuple_element_t<kInputs, ParamList>>> out;
            Check((intf->*Operation)(std::get<I>(in).get()..., out.put()));
            if constexpr (kInto)
                out.TakeInto(std::get<kInputs>(arguments));
            else
                return out.take();
        }
    }(std::make_index_sequence<kInputs>{});
}

}  // namespace dct

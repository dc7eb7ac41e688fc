// Client of the terminal-communication COM server (type library AddIn, coclass Terminals,
// interface ITerminals, declared in terminals/ITerminals.h).
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
#include "terminals/ITerminals.h"

namespace dct {

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
#define DCT_TERMINALS_CLIENT_OP(pos, name, params, names)                 \
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

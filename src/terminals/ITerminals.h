// The terminal-communication server's COM interface, as its clients and any server that stands in
// for it see it: the class and interface ids, the function table and the positions of its entries.
// Nothing else: the driver's client (AddIn_TLB.h), the simulator and the tools all build on it.
#pragma once

#include <cstdint>
#include <iterator>

#include "ComBase.h"

namespace dct {

// {3A9E81C3-133A-11D6-9917-80E62FD8C953}
inline constexpr CLSID CLSID_Terminals = {0x3A9E81C3, 0x133A, 0x11D6, {0x99, 0x17, 0x80, 0xE6, 0x2F, 0xD8, 0xC9, 0x53}};
// {3A9E81C1-133A-11D6-9917-80E62FD8C953}
inline constexpr IID IID_ITerminals = {0x3A9E81C1, 0x133A, 0x11D6, {0x99, 0x17, 0x80, 0xE6, 0x2F, 0xD8, 0xC9, 0x53}};

// The server's function table after IUnknown (0..2) and IDispatch (3..6), one entry per position:
// OP(position, name, parameters, their names) for the operations this library calls,
// RESERVED(position) for the others, which only hold their place. The names let an object that
// stands between a client and a server pass every call on in one line. The interface, the simulator's placeholders and the position
// check below are all generated from this one list.
// clang-format off
#define DCT_ITERMINALS_TABLE(OP, RESERVED) \
    OP(7, ShowProperties, (int32_t* result), (result)) \
    OP(8, BeginReport, (int32_t* status), (status)) \
    OP(9, EndReport, (int32_t* status), (status)) \
    OP(10, GetRecord, (int32_t* status), (status)) \
    RESERVED(11) \
    OP(12, Set_BaudRate, (int32_t value), (value)) \
    RESERVED(13) RESERVED(14) RESERVED(15) RESERVED(16) RESERVED(17) \
    OP(18, Set_PortNumber, (int32_t value), (value)) \
    RESERVED(19) RESERVED(20) RESERVED(21) \
    OP(22, Get_ResultDescription, (BSTR* value), (value)) \
    RESERVED(23) RESERVED(24) \
    OP(25, Set_FormNumber, (int32_t value), (value)) \
    OP(26, Get_DeviceEnabled, (uint8_t* value), (value)) \
    RESERVED(27) \
    OP(28, Clear, (int32_t* status), (status)) \
    RESERVED(29) \
    OP(30, Set_ShowProgress, (VARIANT_BOOL value), (value)) \
    OP(31, GetFieldCount, (uint8_t* value), (value)) \
    RESERVED(32) RESERVED(33) RESERVED(34) RESERVED(35) RESERVED(36) RESERVED(37) RESERVED(38) RESERVED(39) \
    RESERVED(40) RESERVED(41) RESERVED(42) RESERVED(43) RESERVED(44) RESERVED(45) RESERVED(46) RESERVED(47) \
    RESERVED(48) RESERVED(49) RESERVED(50) RESERVED(51) RESERVED(52) RESERVED(53) RESERVED(54) RESERVED(55) \
    RESERVED(56) RESERVED(57) RESERVED(58) RESERVED(59) RESERVED(60) RESERVED(61) RESERVED(62) RESERVED(63) \
    RESERVED(64) RESERVED(65) RESERVED(66) RESERVED(67) RESERVED(68) \
    OP(69, BeginDownLoadTable, (int32_t* status), (status)) \
    OP(70, ClearTableBuffer, (int32_t* status), (status)) \
    OP(71, AddInTable, (BSTR field, int32_t* status), (field, status)) \
    OP(72, DownLoadTable, (int32_t* status), (status)) \
    RESERVED(73) RESERVED(74) RESERVED(75) RESERVED(76) \
    OP(77, LoadFormFromFile, (BSTR path, int32_t* status), (path, status)) \
    RESERVED(78) RESERVED(79) RESERVED(80) RESERVED(81) RESERVED(82) RESERVED(83) RESERVED(84) RESERVED(85) \
    RESERVED(86) RESERVED(87) RESERVED(88) RESERVED(89) RESERVED(90) RESERVED(91) RESERVED(92) RESERVED(93) \
    RESERVED(94) RESERVED(95) \
    OP(96, GetField, (int32_t index, BSTR* value), (index, value)) \
    RESERVED(97) RESERVED(98) \
    OP(99, AddToTable, (int32_t* status), (status)) \
    RESERVED(100) RESERVED(101) RESERVED(102) RESERVED(103) RESERVED(104) RESERVED(105) RESERVED(106) \
    RESERVED(107)
// clang-format on

// Spreads a parenthesised list of names from the table into an argument list: a forwarding entry is
// `HRESULT __stdcall name params override { return Pass<&ITerminals::name>(DCT_ITERMINALS_ARGS names); }`.
#define DCT_ITERMINALS_ARGS(...) __VA_ARGS__

#define DCT_ITERMINALS_DECLARE_OP(pos, name, params, args) virtual HRESULT __stdcall name params = 0;
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
#define DCT_ITERMINALS_SLOT_OP(pos, name, params, args) name = pos,
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

}  // namespace dct

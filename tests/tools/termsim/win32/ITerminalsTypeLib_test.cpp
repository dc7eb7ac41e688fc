// The type library built into TermSimServer.exe, as Wine's oleaut32 reads it, against the client's
// table of ITerminals: COM's marshaller moves between processes what the library describes, so each
// position must hold the operation of that name with the same parameters, in the same direction.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "terminals/ITerminals.h"
#include "platform/ComPtr.h"
#include "registration/Registration.h"

namespace dct {
namespace {

using platform::ComPtr;

// A parameter written as the type library spells it: "I4", "BSTR", "*UI1" (a pointer to one), ...
template <typename T>
std::string Spelled() {
    if constexpr (std::is_same_v<T, BSTR>) return "BSTR";
    else if constexpr (std::is_pointer_v<T>) return "*" + Spelled<std::remove_pointer_t<T>>();
    else if constexpr (std::is_same_v<T, int32_t>) return "I4";
    else if constexpr (std::is_same_v<T, uint8_t>) return "UI1";
    else if constexpr (std::is_same_v<T, VARIANT_BOOL>) return "BOOL";
    else static_assert(sizeof(T) == 0, "a parameter type that automation cannot marshal");
}

std::string Spelled(const TYPEDESC& type) {
    switch (type.vt) {
        case VT_PTR: return "*" + Spelled(*type.lptdesc);
        case VT_I4: return "I4";
        case VT_UI1: return "UI1";
        case VT_BOOL: return "BOOL";
        case VT_BSTR: return "BSTR";
        default: return "vt" + std::to_string(type.vt);
    }
}

struct Operation {
    int position;
    std::string name;
    std::vector<std::string> parameters;
};

template <typename... Args>
std::vector<std::string> ParametersOf(HRESULT (__stdcall ITerminals::*)(Args...)) {
    return {Spelled<Args>()...};
}

std::vector<Operation> ClientTable() {
#define DCT_TABLE_OP(pos, name, params, args) {pos, #name, ParametersOf(&ITerminals::name)},
#define DCT_TABLE_RESERVED(pos) {pos, "Reserved" #pos, {}},
    return {DCT_ITERMINALS_TABLE(DCT_TABLE_OP, DCT_TABLE_RESERVED)};
#undef DCT_TABLE_OP
#undef DCT_TABLE_RESERVED
}

std::wstring ServerPath() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"TermSimServer.exe";
}

// The interface half of the dual interface: the one whose functions sit in the table.
ComPtr<ITypeInfo> InterfaceInfo(ITypeLib* library) {
    ComPtr<ITypeInfo> dispatch, intf;
    HREFTYPE ref = 0;
    if (FAILED(library->GetTypeInfoOfGuid(IID_ITerminals, dispatch.put())) ||
        FAILED(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) ||
        FAILED(dispatch->GetRefTypeInfo(ref, intf.put())))
        return {};
    return intf;
}

TEST(ITerminalsTypeLib, EveryPositionHoldsTheClientsOperationWithItsParameters) {
    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLibEx(ServerPath().c_str(), REGKIND_NONE, library.put()), S_OK);
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&libAttr), S_OK);
    EXPECT_TRUE(IsEqualGUID(libAttr->guid, termsim::LIBID_DctTermSim));
    library->ReleaseTLibAttr(libAttr);
    ComPtr<ITypeInfo> classInfo;
    EXPECT_EQ(library->GetTypeInfoOfGuid(CLSID_Terminals, classInfo.put()), S_OK);

    ComPtr<ITypeInfo> info = InterfaceInfo(library.get());
    ASSERT_TRUE(info);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    const std::vector<Operation> table = ClientTable();
    ASSERT_EQ(attr->cFuncs, table.size());
    info->ReleaseTypeAttr(attr);

    for (UINT i = 0; i < table.size(); ++i) {
        const Operation& op = table[i];
        SCOPED_TRACE(op.name);
        FUNCDESC* f = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
        EXPECT_EQ(f->oVft, op.position * static_cast<int>(sizeof(void*)));
        // Get_X and Set_X are the client's names for the property X.
        std::string expected = op.name;
        INVOKEKIND kind = INVOKE_FUNC;
        if (expected.rfind("Get_", 0) == 0) kind = INVOKE_PROPERTYGET, expected.erase(0, 4);
        else if (expected.rfind("Set_", 0) == 0) kind = INVOKE_PROPERTYPUT, expected.erase(0, 4);
        EXPECT_EQ(f->invkind, kind);
        EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_HRESULT);
        BSTR names[1] = {};
        UINT count = 0;
        ASSERT_EQ(info->GetNames(f->memid, names, 1, &count), S_OK);
        platform::UniqueBstr name(names[0]);
        EXPECT_EQ(std::wstring(name.get(), SysStringLen(name.get())), std::wstring(expected.begin(), expected.end()));
        std::vector<std::string> parameters;
        for (SHORT p = 0; p < f->cParams; ++p) {
            const ELEMDESC& e = f->lprgelemdescParam[p];
            parameters.push_back(Spelled(e.tdesc));
            // What the client passes by pointer comes back from the server; the rest goes to it.
            const USHORT direction = e.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
            EXPECT_EQ(direction, e.tdesc.vt == VT_PTR ? PARAMFLAG_FOUT | PARAMFLAG_FRETVAL : PARAMFLAG_FIN) << p;
        }
        EXPECT_EQ(parameters, op.parameters);
        info->ReleaseFuncDesc(f);
    }
}

}  // namespace
}  // namespace dct

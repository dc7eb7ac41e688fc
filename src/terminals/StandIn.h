// The common part of the objects of ours that stand between the library and a terminal server or in
// its place (the recorder's proxy, the replay's server, a test's lossy link): the reference count,
// IDispatch (which no client of ours calls) answered E_NOTIMPL, and every operation of the table
// passed to one template of the derived class.
#pragma once

#include "platform/ComObject.h"
#include "terminals/ITerminals.h"

namespace dct {

template <typename Derived>
class TerminalsStandIn : public platform::ComObject<Derived, ITerminals> {
public:
    HRESULT __stdcall GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT __stdcall Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};

}  // namespace dct

// In the body of a class derived from TerminalsStandIn: every operation of the table, each passed to
//   template <auto Operation, typename... Args> HRESULT Handle(const char* name, Args... args)
// with its name and arguments; the placeholders the library never calls answer E_NOTIMPL.
#define DCT_ITERMINALS_HANDLE_OP(pos, name, params, names) \
    HRESULT __stdcall name params override { return Handle<&ITerminals::name>(#name, DCT_ITERMINALS_ARGS names); }
#define DCT_ITERMINALS_HANDLE_RESERVED(pos) \
    HRESULT __stdcall Reserved##pos() override { return E_NOTIMPL; }
#define DCT_ITERMINALS_HANDLED() DCT_ITERMINALS_TABLE(DCT_ITERMINALS_HANDLE_OP, DCT_ITERMINALS_HANDLE_RESERVED)

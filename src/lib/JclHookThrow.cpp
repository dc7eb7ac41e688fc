// The hook for language exceptions: the DLL is linked with --wrap=__cxa_throw, so every throw in
// its code (ours and the statically linked runtime's) comes here first, before any handler runs,
// and then goes on to the runtime's own routine unchanged.
//
// Only the DLL links this file (boundary/FullTraceInit.cpp pulls it in); a program linked without the
// wrap option has no __real___cxa_throw to resolve.
#include <cxxabi.h>

#include <cstdint>
#include <exception>
#include <typeinfo>

#include "lib/JclDebug.h"

extern "C" {

[[noreturn]] void __real___cxa_throw(void* object, std::type_info* type, void(_GLIBCXX_CDTOR_CALLABI* destroy)(void*));

[[noreturn]] void __wrap___cxa_throw(void* object, std::type_info* type, void(_GLIBCXX_CDTOR_CALLABI* destroy)(void*)) {
    const uintptr_t returnAddress = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    // The thrower's frame pointer, as saved in this function's frame record.
    const uintptr_t throwerFrame = *static_cast<const uintptr_t*>(__builtin_frame_address(0));
    // The object is seen through std::exception when its type derives from it; the same matching
    // as a catch clause, so that the base subobject's address comes out right.
    void* adjusted = object;
    const std::exception* exceptObj = nullptr;
    if (type && typeid(std::exception).__do_catch(type, &adjusted, 1))
        exceptObj = static_cast<const std::exception*>(adjusted);
    // The address handed on lies inside the call instruction, one byte before the return address:
    // a throw is often compiled as the very last call of a function, and its return address then
    // already belongs to whatever code follows.
    dct::jcl::NotifyException(exceptObj, returnAddress - 1, false, throwerFrame);
    __real___cxa_throw(object, type, destroy);
}

}  // extern "C"

namespace dct::jcl {
bool ThrowHookLinked() { return true; }
}  // namespace dct::jcl

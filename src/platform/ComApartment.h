// COM for the calling thread as a host of the library sets it up: a single-threaded apartment, for
// as long as the object lives.
#pragma once

#include "ComBase.h"

namespace dct::platform {

class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComApartment() {
        if (initialised_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // False when COM refused the thread: nothing of COM can be used on it then.
    bool Initialised() const { return initialised_; }

private:
    bool initialised_;
};

}  // namespace dct::platform

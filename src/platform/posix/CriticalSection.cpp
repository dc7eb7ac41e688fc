#include "platform/CriticalSection.h"

#include <pthread.h>

namespace dct::platform {

static_assert(sizeof(pthread_mutex_t) <= 64);

namespace {
pthread_mutex_t* Mutex(unsigned char* storage) { return reinterpret_cast<pthread_mutex_t*>(storage); }
}  // namespace

CriticalSection::CriticalSection() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(Mutex(storage_), &attr);
    pthread_mutexattr_destroy(&attr);
}
CriticalSection::~CriticalSection() { pthread_mutex_destroy(Mutex(storage_)); }
void CriticalSection::Enter() { pthread_mutex_lock(Mutex(storage_)); }
void CriticalSection::Leave() { pthread_mutex_unlock(Mutex(storage_)); }

}  // namespace dct::platform

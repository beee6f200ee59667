#include "platform/com_object.h"

namespace vantrell::com {
namespace {
long g_module_locks = 0;
}

void LockModule() noexcept { InterlockedIncrement(&g_module_locks); }
void UnlockModule() noexcept { InterlockedDecrement(&g_module_locks); }
long ModuleLockCount() noexcept { return InterlockedCompareExchange(&g_module_locks, 0, 0); }

}  // namespace vantrell::com

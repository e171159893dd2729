#include "base/SharedMemCommDevice.h"

#include <aclapi.h>
#include <sddl.h>

#include "base/Event.h"
#include "base/Logger.h"
#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

namespace {

void traceFailure(uint32_t id, const wchar_t* text)
{
    Event event(id, text, TC_AT(L"SharedMemCommDevice::reduceIntegrity"));
    event.addSystemErrorInfo();
    Logger::Trace(event);
}

} // namespace

bool SharedMemCommDevice::reduceIntegrity(native::Handle handle)
{
    // A mandatory label of low integrity with no-write-up: processes of low
    // integrity may then open the object for writing.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"S:(ML;;NW;;;LW)", SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        traceFailure(1050910, L"ConvertStringSecurityDescriptorToSecurityDescriptor failed while "
                              L"creating comm device");
        return false;
    }
    ScopedLocalMemory owner(descriptor);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL sacl = nullptr;
    if (!GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted)) {
        traceFailure(1050911, L"GetSecurityDescriptorSacl failed while creating comm device");
        return false;
    }
    const DWORD rc = SetSecurityInfo(static_cast<HANDLE>(handle), SE_KERNEL_OBJECT,
                                     LABEL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, sacl);
    if (rc != ERROR_SUCCESS) {
        SetLastError(rc);
        traceFailure(1050912, L"SetSecurityInfo failed while creating comm device");
        return false;
    }
    return true;
}

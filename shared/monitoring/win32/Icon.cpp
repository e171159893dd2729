#include "shared/monitoring/Icon.h"

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

bool Icon::writeFile(const std::wstring& path, const ByteArray& bytes)
{
    ScopedKernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const uint8_t* at = bytes.getData();
    DWORD left = static_cast<DWORD>(bytes.getSize());
    while (left > 0) {
        DWORD written = 0;
        const BOOL ok = WriteFile(file.get(), at, left, &written, nullptr);
        if (!ok || written == 0) {
            const DWORD error = ok ? ERROR_WRITE_FAULT : GetLastError();
            file.reset();
            // A truncated icon would be sent to the server as if it were whole.
            DeleteFileW(path.c_str());
            SetLastError(error);
            return false;
        }
        at += written;
        left -= written;
    }
    return true;
}

void Icon::IconTraits::free(Handle icon)
{
    scoped::IconTraits::free(icon);
}

bool Icon::getIconFromExecutable(const wchar_t* path)
{
    if (path == nullptr)
        return false;
    // As a data file: the program's code is neither mapped for running nor
    // started, whatever the file holds.
    ScopedModule module(LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) {
        SystemException e(1062002, L"Unable to load application module to read resources",
                          TC_AT(L"Icon::getIconFromExecutable"));
        e.addParameter(path);
        e.addSystemErrorInfo();
        throw e;
    }
    try {
        extractIcon(module.get());
    } catch (const Exception& e) {
        Event event(1062003, &e, L"An exception occured while extracting icon from exe",
                    TC_AT(L"Icon::getIconFromExecutable"));
        Logger::Trace(event);
    }
    if (!m_images.empty())
        return true;
    return requestShellIcon(path);
}

bool Icon::extractIcon(HINSTANCE__* module)
{
    if (module == nullptr)
        throw Exception(1062004, L"Invalid module handle parameter", TC_AT(L"Icon::extractIcon"));
    clearImages();
    if (!getFirstIconID(module))
        return false;

    const wchar_t* group =
        m_firstGroupIsName ? m_firstGroupName.c_str() : MAKEINTRESOURCEW(m_firstGroupId);
    HRSRC groupInfo = FindResourceW(module, group, MAKEINTRESOURCEW(14));
    if (groupInfo == nullptr) {
        SystemException e(1062005, L"Unable to find first icon group resource",
                          TC_AT(L"Icon::extractIcon"));
        e.addSystemErrorInfo();
        throw e;
    }
    HGLOBAL groupResource = LoadResource(module, groupInfo);
    if (groupResource == nullptr) {
        SystemException e(1062006, L"Unable to load first icon group resource",
                          TC_AT(L"Icon::extractIcon"));
        e.addSystemErrorInfo();
        throw e;
    }
    const void* groupData = LockResource(groupResource);
    if (groupData == nullptr) {
        SystemException e(1062007, L"Unable to lock first icon group resource",
                          TC_AT(L"Icon::extractIcon"));
        e.addSystemErrorInfo();
        throw e;
    }
    const DWORD groupSize = SizeofResource(module, groupInfo);

    for (const IconImage& entry : IconFile::readGroup(groupData, groupSize)) {
        HRSRC imageInfo = FindResourceW(module, MAKEINTRESOURCEW(entry.id()), MAKEINTRESOURCEW(3));
        if (imageInfo == nullptr) {
            SystemException e(1062008, L"Unable to find icon image", TC_AT(L"Icon::extractIcon"));
            e.addParameter(entry.id());
            e.addSystemErrorInfo();
            throw e;
        }
        HGLOBAL imageResource = LoadResource(module, imageInfo);
        if (imageResource == nullptr) {
            SystemException e(1062009, L"Unable to load icon image", TC_AT(L"Icon::extractIcon"));
            e.addParameter(entry.id());
            e.addSystemErrorInfo();
            throw e;
        }
        const void* imageData = LockResource(imageResource);
        if (imageData == nullptr) {
            SystemException e(1062010, L"Unable to lock icon image", TC_AT(L"Icon::extractIcon"));
            e.addParameter(entry.id());
            e.addSystemErrorInfo();
            throw e;
        }
        addImage(entry, imageData, SizeofResource(module, imageInfo));
    }
    return !m_images.empty();
}

bool Icon::getFirstIconID(HINSTANCE__* module)
{
    m_hasFirstGroup = false;
    m_firstGroupIsName = false;
    m_firstGroupName.clear();
    m_firstGroupId = 0;
    // The callback stops the enumeration after the first name, which the
    // call reports as a failure; only what the callback saw counts.
    EnumResourceNamesW(module, MAKEINTRESOURCEW(14),
                       reinterpret_cast<ENUMRESNAMEPROCW>(&Icon::enumResNameProc),
                       reinterpret_cast<LONG_PTR>(this));
    return m_hasFirstGroup;
}

int TC_CALLBACK Icon::enumResNameProc(HINSTANCE__*, const wchar_t*, wchar_t* name, intptr_t param)
{
    Icon* self = reinterpret_cast<Icon*>(param);
    if (self == nullptr || name == nullptr)
        return FALSE;
    if (IS_INTRESOURCE(name)) {
        self->m_firstGroupIsName = false;
        self->m_firstGroupId = static_cast<uint16_t>(reinterpret_cast<ULONG_PTR>(name));
    } else {
        self->m_firstGroupIsName = true;
        self->m_firstGroupName = name;
    }
    self->m_hasFirstGroup = true;
    return FALSE;
}

native::Icon Icon::getHICON()
{
    if (m_icon.get() == nullptr && !m_libraryPath.empty()) {
        m_icon.reset(static_cast<HICON>(
            LoadImageW(nullptr, m_libraryPath.c_str(), IMAGE_ICON, 32, 32, LR_LOADFROMFILE)));
    }
    return m_icon.get();
}

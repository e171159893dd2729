#include "shared/server/QueueFile.h"

#include "base/win32/WindowsSupport.h"

namespace {

HANDLE asHandle(intptr_t h)
{
    return reinterpret_cast<HANDLE>(h);
}

const intptr_t Closed = -1; // INVALID_HANDLE_VALUE

OVERLAPPED at(int64_t offset)
{
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
    o.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    return o;
}

// Transfers in pieces a DWORD can count.
const size_t MaximumPiece = 1u << 30;

} // namespace

QueueFile::~QueueFile()
{
    close();
}

bool QueueFile::open(bool create)
{
    close();
    // A hidden file can only be recreated by a call that asks for the hidden
    // attribute too; asking for it also hides a new file from its first moment.
    const HANDLE h = CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 create ? CREATE_ALWAYS : OPEN_EXISTING,
                                 create ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    m_handle = reinterpret_cast<intptr_t>(h);
    return true;
}

bool QueueFile::isOpen() const
{
    return m_handle != Closed && m_handle != 0;
}

void QueueFile::close()
{
    if (isOpen()) {
        const DWORD saved = GetLastError();
        CloseHandle(asHandle(m_handle));
        SetLastError(saved);
    }
    m_handle = Closed;
}

bool QueueFile::size(int64_t& bytes)
{
    LARGE_INTEGER n{};
    if (!isOpen() || !GetFileSizeEx(asHandle(m_handle), &n))
        return false;
    bytes = n.QuadPart;
    return true;
}

bool QueueFile::readAt(int64_t offset, void* data, size_t n)
{
    if (!isOpen() || offset < 0)
        return false;
    auto* p = static_cast<uint8_t*>(data);
    while (n > 0) {
        const DWORD piece = static_cast<DWORD>(n < MaximumPiece ? n : MaximumPiece);
        OVERLAPPED o = at(offset);
        DWORD got = 0;
        if (!ReadFile(asHandle(m_handle), p, piece, &got, &o) || got == 0)
            return false;
        p += got;
        offset += got;
        n -= got;
    }
    return true;
}

bool QueueFile::writeAt(int64_t offset, const void* data, size_t n)
{
    if (!isOpen() || offset < 0)
        return false;
    const auto* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        const DWORD piece = static_cast<DWORD>(n < MaximumPiece ? n : MaximumPiece);
        OVERLAPPED o = at(offset);
        DWORD put = 0;
        if (!WriteFile(asHandle(m_handle), p, piece, &put, &o) || put == 0)
            return false;
        p += put;
        offset += put;
        n -= put;
    }
    return true;
}

bool QueueFile::sync()
{
    return isOpen() && FlushFileBuffers(asHandle(m_handle));
}

bool QueueFile::setHidden()
{
    const DWORD attributes = GetFileAttributesW(m_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (attributes & FILE_ATTRIBUTE_HIDDEN)
        return true;
    return SetFileAttributesW(m_path.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN) != 0;
}

bool QueueFile::remove()
{
    close();
    return DeleteFileW(m_path.c_str()) != 0;
}

bool QueueFile::replaceWith(const std::wstring& source)
{
    close();
    return MoveFileExW(source.c_str(), m_path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#include "shared/server/QueueFile.h"

QueueFile::QueueFile(const std::wstring& path) : m_path(path) {}

std::unique_ptr<QueueFile> QueueFile::sibling(const std::wstring& path) const
{
    return std::make_unique<QueueFile>(path);
}

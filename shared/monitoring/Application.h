#pragma once
#include <cstdint>
#include <ostream>
#include <string>

#include "base/ByteArray.h"
#include "base/FileName.h"
#include "shared/monitoring/Icon.h"
#include "shared/monitoring/Version.h"
#include "shared/TCShrdApi.h"

// One executable the user has had windows of: its path, version resource,
// icon, content hash and modification time, and the id the server gave it.
class TCSHRD_API Application {
public:
    // Id -1 (none from the server yet), modification time 0, the rest empty.
    explicit Application(const std::wstring& fileName);
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Reads the file's modification time, hash, icon (saved to the icon
    // library under the file's name) and version resource, in that order.
    // The first step that fails ends the run: it is traced (1061903 with the
    // failure: 1061901 for a missing file, 1061902 for a file that is not
    // an "exe", "scr" or "BIN") and the result is false; what the earlier
    // steps stored stays.
    bool retrieveApplicationData();

    const FileName& getFileName() const { return m_fileName; }
    const Icon& getIcon() const { return m_icon; }
    Icon& getIcon() { return m_icon; }
    const Version& getVersionInfo() const { return m_version; }
    // The content hash as Base64 text of the SHA-1 digest; empty until read.
    const ByteArray* getHash() const { return &m_hash; }
    int64_t getLastModifiedTime() const { return m_lastModified; }
    int getID() const { return m_id; }
    void setID(int id) { m_id = id; }

protected:
    FileName m_fileName;
    Icon m_icon;
    Version m_version;
    ByteArray m_hash;
    int64_t m_lastModified = 0;
    int m_id = -1;
};

// "    Application" and the seven version fields, one per line.
std::wostream& operator<<(std::wostream& out, const Application& application);

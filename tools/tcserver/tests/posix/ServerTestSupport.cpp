#include "ServerTestSupport.h"

#include <gtest/gtest.h>

#include "base/Utf16.h"
#include "shared/server/SecurityDevice.h"

namespace servertest {

ServerFixture::ServerFixture(ServerConfig config)
{
    m_db = std::make_unique<ServerDatabase>(dbPath());
    m_server = std::make_unique<TcServer>(*m_db, m_faults, std::move(config), [this] { return now; });
}

std::string ServerFixture::dbPath() const { return Utf16::toUtf8(m_folder.file(L"server.db")); }

int ServerFixture::addUser(const std::wstring& name, const std::wstring& password)
{
    const ByteArray hash = SecurityDevice::computePasswordHash(password);
    return m_db->addUser(name, std::string(reinterpret_cast<const char*>(hash.getData()),
                                           static_cast<size_t>(hash.getSize())));
}

std::unique_ptr<SubmitClient> ServerFixture::client(const std::string& userAgent)
{
    return std::make_unique<SubmitClient>(
        [this, userAgent](const std::string& path, const std::string& body, std::string& reply) {
            EXPECT_EQ("/Tavelin/SubmitMsg", path);
            const ByteArray out =
                m_server->submit(ByteArray(body.data(), static_cast<int32_t>(body.size())), userAgent);
            reply.assign(reinterpret_cast<const char*>(out.getData()), static_cast<size_t>(out.getSize()));
            return 200;
        });
}

std::unique_ptr<SubmitClient> ServerFixture::loggedOn(const std::wstring& name, const std::wstring& password)
{
    auto c = client();
    EXPECT_TRUE(c->logOn(name, password));
    return c;
}

Msg stateChange(const std::wstring& state)
{
    Msg msg;
    msg.setType(Msg::SYSTEM_STATE_CHANGE);
    msg.setAttributeValue(L"SystemState", state);
    return msg;
}

Msg longApplicationChange(const std::wstring& path, const std::wstring& document)
{
    Msg msg;
    msg.setType(Msg::APPLICATION_CHANGE);
    msg.setAttributeValue(L"ContextString1", document);
    msg.setAttributeValue(L"ContextString2", std::wstring(L"page 2"));
    msg.setAttributeValue(L"ContextString3", std::wstring());
    msg.setAttributeValue(L"ApplicationHash", new ByteArray(bytesOf("hash of " + Utf16::toUtf8(path))));
    msg.setAttributeValue(L"OriginalFilename", std::wstring(L"WRITER.EXE"));
    msg.setAttributeValue(L"FileDescription", std::wstring(L"Writer"));
    msg.setAttributeValue(L"InternalName", std::wstring(L"writer"));
    msg.setAttributeValue(L"FileVersion", std::wstring(L"2.7.1.0"));
    msg.setAttributeValue(L"ProductName", std::wstring(L"Writer Suite"));
    msg.setAttributeValue(L"ProductVersion", std::wstring(L"2.7"));
    msg.setAttributeValue(L"CompanyName", std::wstring(L"Example Works"));
    msg.setAttributeValue(L"FilePath", path);
    msg.setAttributeValue(L"Icon", new ByteArray(bytesOf("icon bytes")));
    return msg;
}

Msg shortApplicationChange(int applicationId, const std::wstring& document)
{
    Msg msg;
    msg.setType(Msg::APPLICATION_CHANGE);
    msg.setAttributeValue(L"ApplicationID", applicationId);
    msg.setAttributeValue(L"ContextString1", document);
    msg.setAttributeValue(L"ContextString2", std::wstring(L"page 2"));
    msg.setAttributeValue(L"ContextString3", std::wstring());
    msg.setAttributeValue(L"ApplicationHash", new ByteArray(bytesOf("hash of C:\\Apps\\writer.exe")));
    msg.setAttributeValue(L"OriginalFilename", std::wstring(L"WRITER.EXE"));
    msg.setAttributeValue(L"CompanyName", std::wstring(L"Example Works"));
    return msg;
}

void addMachineName(Msg& msg, const std::wstring& name, const std::wstring& domain)
{
    msg.setAttributeValue(L"MachineID", -1);
    msg.setAttributeValue(L"MachineName", name);
    msg.setAttributeValue(L"MachineDomain", domain);
}

int intOf(const Msg& msg, const wchar_t* name, int missing)
{
    int value = missing;
    msg.getAttributeValue(name, value);
    return value;
}

std::wstring stringOf(const Msg& msg, const wchar_t* name)
{
    std::wstring value = L"<missing>";
    msg.getAttributeValue(name, value);
    return value;
}

ByteArray bytesOf(const std::string& text) { return ByteArray(text.data(), static_cast<int32_t>(text.size())); }

} // namespace servertest

#include "shared/monitoring/Application.h"

#include "base/Event.h"
#include "base/File.h"
#include "base/Logger.h"
#include "shared/monitoring/MonitoringException.h"
#include "shared/server/HashDevice.h"

Application::Application(const std::wstring& fileName) : m_fileName(fileName) {}

Application::~Application() = default;

bool Application::retrieveApplicationData()
{
    static const wchar_t* const Function = L"Application::retrieveApplicationData";
    const std::wstring& path = m_fileName.getFullPath();
    try {
        if (!File::exists(path)) {
            MonitoringException e(1061901, L"Application file could not be found", TC_AT(Function));
            e.addParameter(path);
            throw e;
        }
        if (!File::isOfType(path, L"exe") && !File::isOfType(path, L"scr") &&
            !File::isOfType(path, L"BIN")) {
            MonitoringException e(1061902, L"Application file name has unrecognised extension",
                                  TC_AT(Function));
            e.addParameter(path);
            throw e;
        }
        m_lastModified = File::getLastModificationTime(path);
        HashDevice::hashFile(path.c_str(), m_hash);
        m_icon.getIconFromExecutable(path.c_str());
        m_icon.saveToLibrary(m_fileName.getName().c_str());
        m_version.getInfoFromExecutable(path.c_str());
        return true;
    } catch (const Exception& failure) {
        Event e(1061903, &failure,
                L"An exception occured while retrieving information on an application",
                TC_AT(Function));
        Logger::Trace(e);
        return false;
    }
}

std::wostream& operator<<(std::wostream& out, const Application& application)
{
    const Version& v = application.getVersionInfo();
    out << L"    Application" << L"\n        Name:      " << v.getOriginalFilename()
        << L"\n        File Desc: " << v.getFileDescription() << L"\n        Int Name:  "
        << v.getInternalName() << L"\n        File Ver:  " << v.getFileVersion()
        << L"\n        Prod Name: " << v.getProductName() << L"\n        Prod Ver:  "
        << v.getProductVersion() << L"\n        Comp Name: " << v.getCompanyName() << L"\n";
    return out;
}

#include "shared/server/UserDetails.h"

#include <chrono>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "base/Tools.h"

UserDetails::UserDetails() = default;

UserDetails::UserDetails(const Fields& fields) : m_fields(fields) {}

UserDetails::UserDetails(const UserDetails& other)
{
    std::unique_lock<std::mutex> lock(other.m_lock);
    other.m_finished.wait(lock, [&] { return !other.m_busy; });
    m_fields = other.m_fields;
}

UserDetails& UserDetails::operator=(const UserDetails& other)
{
    if (this == &other)
        return *this;
    Fields copy;
    {
        std::unique_lock<std::mutex> lock(other.m_lock);
        other.m_finished.wait(lock, [&] { return !other.m_busy; });
        copy = other.m_fields;
    }
    std::unique_lock<std::mutex> lock(m_lock);
    // Our own lookup would overwrite the copy when it ends.
    m_finished.wait(lock, [&] { return !m_busy; });
    m_fields = std::move(copy);
    return *this;
}

UserDetails::~UserDetails()
{
    if (m_thread.joinable())
        m_thread.join();
}

void UserDetails::getDetails()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_busy)
        return;
    if (m_thread.joinable())
        m_thread.join(); // a finished earlier lookup
    m_busy = true;
    try {
        m_thread = std::thread(&UserDetails::runLookup, this);
    } catch (const std::system_error&) {
        m_busy = false;
        Event event(1062815, L"Failed to start the user details lookup thread",
                    TC_AT(L"UserDetails::getDetails"));
        Logger::Trace(event);
    }
}

bool UserDetails::isReady() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return !m_busy;
}

bool UserDetails::waitUntilReady(int milliseconds) const
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_finished.wait_for(lock, std::chrono::milliseconds(milliseconds),
                               [&] { return !m_busy; });
}

void UserDetails::runLookup()
{
    Fields found;
    // Nothing may leave the thread: whatever is found up to a failure is kept.
    try {
        if (!Tools::getUserName(found.username, found.domain)) {
            Event event(1062801, L"Failed to get username and domain using Tools::getUserName()",
                        TC_AT(L"UserDetails::runLookup"));
            Logger::Trace(event);
        }
        lookupAccountAndDirectory(found);
        if (found.displayName.empty())
            found.displayName = found.username;
        if (found.firstName.empty() || found.lastName.empty())
            getFirstnameLastnameFromDisplayName(found.displayName, found.firstName, found.lastName);
    } catch (const Exception& e) {
        Event event(1062814, &e,
                    L"An unexpected exception occured while looking up the user details",
                    TC_AT(L"UserDetails::runLookup"));
        Logger::Trace(event);
    } catch (...) {
        Event event(1062814, L"An unexpected exception occured while looking up the user details",
                    TC_AT(L"UserDetails::runLookup"));
        Logger::Trace(event);
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_fields = std::move(found);
        m_busy = false;
    }
    m_finished.notify_all();
}

void UserDetails::getFirstnameLastnameFromDisplayName(const std::wstring& displayName,
                                                      std::wstring& first, std::wstring& last)
{
    std::wstring foundFirst, foundLast;
    size_t at = displayName.find(L", ");
    if (at != std::wstring::npos) {
        foundLast = displayName.substr(0, at);
        foundFirst = displayName.substr(at + 2);
    } else if ((at = displayName.find(L' ')) != std::wstring::npos) {
        foundFirst = displayName.substr(0, at);
        foundLast = displayName.substr(at + 1);
    } else {
        foundFirst = displayName;
    }
    if (first.empty())
        first = foundFirst;
    if (last.empty())
        last = foundLast;
}

std::wstring UserDetails::field(std::wstring Fields::*member) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_fields.*member;
}

std::wstring UserDetails::getUsername() const
{
    return field(&Fields::username);
}
std::wstring UserDetails::getDomain() const
{
    return field(&Fields::domain);
}
std::wstring UserDetails::getSID() const
{
    return field(&Fields::sid);
}
std::wstring UserDetails::getGUID() const
{
    return field(&Fields::guid);
}
std::wstring UserDetails::getFullDName() const
{
    return field(&Fields::fullDName);
}
std::wstring UserDetails::getDisplayName() const
{
    return field(&Fields::displayName);
}
std::wstring UserDetails::getEmail() const
{
    return field(&Fields::email);
}
std::wstring UserDetails::getFirstName() const
{
    return field(&Fields::firstName);
}
std::wstring UserDetails::getNamePrefix() const
{
    return field(&Fields::namePrefix);
}
std::wstring UserDetails::getTitle() const
{
    return field(&Fields::title);
}
std::wstring UserDetails::getLastName() const
{
    return field(&Fields::lastName);
}
std::wstring UserDetails::getManagerSID() const
{
    return field(&Fields::managerSid);
}
std::wstring UserDetails::getDepartment() const
{
    return field(&Fields::department);
}
std::wstring UserDetails::getDivision() const
{
    return field(&Fields::division);
}
std::wstring UserDetails::getTelephone() const
{
    return field(&Fields::telephone);
}
std::wstring UserDetails::getMobileNumber() const
{
    return field(&Fields::mobileNumber);
}

std::vector<ADGroup> UserDetails::getADGroupList() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_fields.groups;
}

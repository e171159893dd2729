#pragma once
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "shared/TCShrdApi.h"
#include "shared/server/ADGroup.h"

// The signed-in user as Windows and the directory know them. getDetails
// starts the lookup on a thread of its own; until isReady() is true again
// the fields are being filled and read as empty. Where no domain or
// directory answers, the directory fields stay empty; the display name then
// falls back to the user name and first and last names are cut from it.
//
// Getters return copies taken under the object's lock. Copying an object
// whose lookup is running waits for the lookup to finish. The destructor
// waits for a running lookup.
class TCSHRD_API UserDetails {
public:
    // What the lookup finds, field by field.
    struct Fields {
        std::wstring username;
        std::wstring domain;
        std::wstring sid;
        std::wstring guid;
        std::wstring fullDName;
        std::wstring displayName;
        std::wstring email;
        std::wstring firstName;
        std::wstring namePrefix;
        std::wstring title;
        std::wstring lastName;
        std::wstring managerSid;
        std::wstring department;
        std::wstring division;
        std::wstring telephone;
        std::wstring mobileNumber;
        std::vector<ADGroup> groups;
    };

    // Details known already, found by other means (a tool, a test): ready at
    // once, no lookup runs.
    explicit UserDetails(const Fields& fields);
    UserDetails();
    UserDetails(const UserDetails& other);
    UserDetails& operator=(const UserDetails& other);
    virtual ~UserDetails();

    // Starts the lookup and returns at once; does nothing while one runs.
    void getDetails();
    bool isReady() const;
    // Waits for a running lookup; true when it ended within the time.
    bool waitUntilReady(int milliseconds) const;

    std::wstring getUsername() const;
    std::wstring getDomain() const;
    std::wstring getSID() const;
    std::wstring getGUID() const;
    std::wstring getFullDName() const;
    std::wstring getDisplayName() const;
    std::wstring getEmail() const;
    std::wstring getFirstName() const;
    std::wstring getNamePrefix() const;
    std::wstring getTitle() const;
    std::wstring getLastName() const;
    std::wstring getManagerSID() const;
    std::wstring getDepartment() const;
    std::wstring getDivision() const;
    std::wstring getTelephone() const;
    std::wstring getMobileNumber() const;
    std::vector<ADGroup> getADGroupList() const;

    // Sets first and last name from a display name, each only when empty:
    // "Last, First"; otherwise "First Rest of name"; otherwise the whole
    // name as the first name.
    static void getFirstnameLastnameFromDisplayName(const std::wstring& displayName,
                                                    std::wstring& first, std::wstring& last);

private:
    void runLookup();
    // The account and directory part of the lookup, for the platform: fills
    // what it can find given user name and domain. Never throws.
    static void lookupAccountAndDirectory(Fields& fields);
    std::wstring field(std::wstring Fields::*member) const;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_finished;
    Fields m_fields;
    bool m_busy = false;
    std::thread m_thread;
};

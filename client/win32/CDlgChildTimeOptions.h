#pragma once
#include <memory>
#include <string>

#include "base/Registry.h"
#include "client/SubjectList.h"
#include "client/win32/CChildDialog.h"

// Views 8, 9 and 10: the "go to" forms for a meeting (kind 0), a phone call
// (1) and personal time (2): a duration (not for phone calls) and a subject
// (not for personal time) chosen from the lists the user built up.
class CDlgChildTimeOptions : public CChildDialog {
public:
    CDlgChildTimeOptions(ClientOperations& client, int kind, const Registry& userSettings);
    ~CDlgChildTimeOptions() override;

    void onViewShown() override;
    void onViewHidden() override;

    int kind() const { return m_kind; }
    // The subject: the selected entry, or the typed text when none is selected.
    std::wstring subject() const;
    // The selected duration entry's text, empty when none is selected.
    std::wstring durationText() const;
    int durationSeconds() const;
    const SubjectList* subjects() const { return m_subjects.get(); }

protected:
    bool onInitDialog() override;

private:
    void fillDurations();

    int m_kind;
    std::unique_ptr<SubjectList> m_subjects;
    HBITMAP m_picture = nullptr;
};

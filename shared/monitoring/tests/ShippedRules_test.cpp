// The rules file the installation ships, run over titles the applications
// really show. Every section must have samples, so that a new section comes
// with the titles it was written from.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/File.h"
#include "shared/monitoring/TitlebarTextExtractor.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"

namespace {

struct Sample {
    const wchar_t* key;
    const wchar_t* title;
    int ok; // 0: the title is left to whole-title reporting
    const wchar_t* string1;
    const wchar_t* string2;
    const wchar_t* string3;
};

const Sample Samples[] = {
    {L"WINWORD.EXE", L"Report.docx - Word", 1, L"", L"Report.docx", L"Documents"},
    {L"WINWORD.EXE", L"Q3 - Budget notes.docx - Word", 1, L"", L"Q3 - Budget notes.docx",
     L"Documents"},
    {L"WINWORD.EXE", L"Document1 - Word", 1, L"", L"Document1", L"Documents"},
    {L"WINWORD.EXE", L"Report.doc [Compatibility Mode] - Microsoft Word", 1, L"", L"Report.doc",
     L"Documents"},
    {L"WINWORD.EXE", L"Minutes.docx [Read-Only] - Word", 1, L"", L"Minutes.docx", L"Documents"},
    {L"WINWORD.EXE", L"Word", 0, nullptr, nullptr, L"Documents"},

    {L"EXCEL.EXE", L"Budget 2024.xlsx - Excel", 1, L"", L"Budget 2024.xlsx", L"Spreadsheets"},
    {L"EXCEL.EXE", L"Book1 - Excel", 1, L"", L"Book1", L"Spreadsheets"},
    {L"EXCEL.EXE", L"Microsoft Excel - Budget.xlsx", 1, L"", L"Budget.xlsx", L"Spreadsheets"},
    {L"EXCEL.EXE", L"Figures.xls [Compatibility Mode] - Excel", 1, L"", L"Figures.xls",
     L"Spreadsheets"},
    {L"EXCEL.EXE", L"Budget 2024.xlsx [Group] - Excel", 1, L"", L"Budget 2024.xlsx",
     L"Spreadsheets"},
    {L"EXCEL.EXE", L"Excel", 0, nullptr, nullptr, L"Spreadsheets"},

    {L"POWERPNT.EXE", L"Quarterly review.pptx - PowerPoint", 1, L"", L"Quarterly review.pptx",
     L"Presentations"},
    {L"POWERPNT.EXE", L"Deck [v2].pptx - PowerPoint", 1, L"", L"Deck [v2].pptx", L"Presentations"},
    {L"POWERPNT.EXE", L"PowerPoint Slide Show - Quarterly review.pptx - PowerPoint", 1, L"",
     L"Quarterly review.pptx", L"Presentations"},
    {L"POWERPNT.EXE", L"PowerPoint Presenter View - Quarterly review.pptx - PowerPoint", 1, L"",
     L"Quarterly review.pptx", L"Presentations"},
    {L"POWERPNT.EXE", L"Microsoft PowerPoint - [Quarterly review.pptx]", 0, nullptr, nullptr,
     L"Presentations"},

    {L"OUTLOOK.EXE", L"Inbox - anna@contoso.com - Outlook", 1, L"", L"Inbox - anna@contoso.com",
     L"Email"},
    {L"OUTLOOK.EXE", L"Inbox - Microsoft Outlook", 1, L"", L"Inbox", L"Email"},
    {L"OUTLOOK.EXE", L"RE: Budget - Message (HTML)", 1, L"", L"RE: Budget", L"Email"},
    {L"OUTLOOK.EXE", L"Project update - Message (Plain Text)", 1, L"", L"Project update", L"Email"},
    {L"OUTLOOK.EXE", L"Weekly sync - Meeting", 1, L"", L"Weekly sync", L"Email"},
    {L"OUTLOOK.EXE", L"Dentist - Appointment", 1, L"", L"Dentist", L"Email"},
    {L"OUTLOOK.EXE", L"Reminder", 0, nullptr, nullptr, L"Email"},

    {L"THUNDERBIRD.EXE", L"Inbox - Mozilla Thunderbird", 1, L"", L"Inbox", L"Email"},
    {L"THUNDERBIRD.EXE", L"Write: Budget - Thunderbird", 0, nullptr, nullptr, L"Email"},

    {L"CHROME.EXE", L"Example Domain - Google Chrome", 1, L"", L"Example Domain", L"Web browsing"},
    {L"CHROME.EXE", L"Inbox (3) - anna@example.com - Gmail - Google Chrome", 1, L"",
     L"Inbox (3) - anna@example.com - Gmail", L"Web browsing"},
    {L"CHROME.EXE", L"Downloads", 0, nullptr, nullptr, L"Web browsing"},

    {L"FIREFOX.EXE", L"Example Domain \x2014 Mozilla Firefox", 1, L"", L"Example Domain",
     L"Web browsing"},
    {L"FIREFOX.EXE", L"Example Domain - Mozilla Firefox", 1, L"", L"Example Domain",
     L"Web browsing"},
    {L"FIREFOX.EXE", L"Example Domain \x2014 Mozilla Firefox Private Browsing", 1, L"",
     L"Example Domain", L"Web browsing"},
    {L"FIREFOX.EXE", L"Library", 0, nullptr, nullptr, L"Web browsing"},

    {L"MSEDGE.EXE", L"Example Domain - Microsoft\x200B Edge", 1, L"", L"Example Domain",
     L"Web browsing"},
    {L"MSEDGE.EXE", L"Example Domain - Work - Microsoft\x200B Edge", 1, L"",
     L"Example Domain - Work", L"Web browsing"},

    {L"CODE.EXE", L"main.cpp - ondrivex - Visual Studio Code", 1, L"ondrivex", L"main.cpp",
     L"Software development"},
    {L"CODE.EXE", L"\x25CF main.cpp - ondrivex - Visual Studio Code", 1, L"ondrivex", L"main.cpp",
     L"Software development"},
    {L"CODE.EXE", L"Welcome - Visual Studio Code", 1, L"Welcome", L"Welcome",
     L"Software development"},

    {L"DEVENV.EXE", L"Ondrivex - Microsoft Visual Studio", 1, L"", L"Ondrivex",
     L"Software development"},
    {L"DEVENV.EXE", L"Ondrivex (Debugging) - Microsoft Visual Studio", 1, L"", L"Ondrivex",
     L"Software development"},
    {L"DEVENV.EXE", L"Ondrivex - Microsoft Visual Studio (Administrator)", 1, L"", L"Ondrivex",
     L"Software development"},

    {L"NOTEPAD.EXE", L"notes.txt - Notepad", 1, L"", L"notes.txt", L"Text editing"},
    {L"NOTEPAD.EXE", L"*notes.txt - Notepad", 1, L"", L"notes.txt", L"Text editing"},
    {L"NOTEPAD.EXE.MUI", L"Untitled - Notepad", 1, L"", L"Untitled", L"Text editing"},
    {L"NOTEPAD.EXE.MUI", L"*Untitled - Notepad", 1, L"", L"Untitled", L"Text editing"},

    {L"WORDPAD.EXE", L"report.rtf - WordPad", 1, L"", L"report.rtf", L"Documents"},
    {L"WORDPAD.EXE", L"Q3 - plan.rtf - WordPad", 1, L"", L"Q3 - plan.rtf", L"Documents"},
    {L"WORDPAD.EXE", L"report.rtf - Wine Wordpad", 1, L"", L"report.rtf", L"Documents"},
    {L"WORDPAD.EXE", L"WordPad", 1, L"", L"WordPad", L"Documents"},

    {L"NOTEPAD++.EXE", L"*C:\\Users\\anna\\notes.txt - Notepad++", 1, L"",
     L"C:\\Users\\anna\\notes.txt", L"Text editing"},
    {L"NOTEPAD++.EXE", L"new 1 - Notepad++ [Administrator]", 1, L"", L"new 1", L"Text editing"},

    {L"ACRORD32.EXE", L"Contract.pdf - Adobe Acrobat Reader DC", 1, L"", L"Contract.pdf",
     L"Reading"},
    {L"ACRORD32.EXE", L"Contract.pdf - Adobe Acrobat Reader (64-bit)", 1, L"", L"Contract.pdf",
     L"Reading"},
    {L"ACRORD32.EXE", L"Contract.pdf - Adobe Reader", 1, L"", L"Contract.pdf", L"Reading"},
    {L"ACROBAT.EXE", L"Contract.pdf - Adobe Acrobat Pro DC", 1, L"", L"Contract.pdf", L"Reading"},

    {L"SUMATRAPDF.EXE", L"Contract.pdf - SumatraPDF", 1, L"", L"Contract.pdf", L"Reading"},

    {L"TEAMS.EXE", L"Chat | Anna Smith | Microsoft Teams", 1, L"", L"Anna Smith", L"Chat"},
    {L"TEAMS.EXE", L"General (Marketing) | Microsoft Teams", 1, L"", L"General (Marketing)",
     L"Chat"},
    {L"TEAMS.EXE", L"Calendar | Microsoft Teams", 1, L"", L"Calendar", L"Chat"},

    {L"SOFFICE.BIN", L"Report.odt - LibreOffice Writer", 1, L"Writer", L"Report.odt", L"Documents"},
    {L"SOFFICE.BIN", L"Budget.ods - LibreOffice Calc", 1, L"Calc", L"Budget.ods", L"Documents"},
    {L"SOFFICE.BIN", L"LibreOffice", 0, nullptr, nullptr, L"Documents"},
};

class ShippedRulesTest : public ::testing::Test {
protected:
    testsupport::EventRecorder m_events;
    // The build copies the file beside the programs, where an installation has it.
    std::wstring path() const
    {
        return testsupport::binFolder() + File::Separator + L"ApplicationRules.txt";
    }
};

TEST_F(ShippedRulesTest, LoadsWithoutAnyEvent)
{
    TitlebarTextExtractor rules(path());
    EXPECT_GE(rules.getApplications().size(), 15u);
    for (const testsupport::CapturedEvent& e : m_events.all())
        ADD_FAILURE() << e.id << " " << std::string(e.line.begin(), e.line.end());
}

TEST_F(ShippedRulesTest, EveryRuleGivesTheRecordedStringsForItsSamples)
{
    TitlebarTextExtractor rules(path());
    for (const Sample& s : Samples) {
        SCOPED_TRACE(testing::Message()
                     << std::string(s.key, s.key + wcslen(s.key)) << " sample " << (&s - Samples));
        ASSERT_EQ(1, rules.canProcess(s.key));
        std::wstring string1 = L"unchanged1", string2 = L"unchanged2", string3 = L"Unspecified";
        EXPECT_EQ(s.ok, rules.process(s.key, s.title, string1, string2, string3));
        EXPECT_EQ(std::wstring(s.string1 ? s.string1 : L"unchanged1"), string1);
        EXPECT_EQ(std::wstring(s.string2 ? s.string2 : L"unchanged2"), string2);
        EXPECT_EQ(std::wstring(s.string3), string3);
    }
}

TEST_F(ShippedRulesTest, EverySectionHasSamplesThatItAccepts)
{
    TitlebarTextExtractor rules(path());
    std::set<std::wstring> accepted;
    for (const Sample& s : Samples)
        if (s.ok == 1)
            accepted.insert(s.key);
    for (const std::wstring& key : rules.getApplications())
        EXPECT_EQ(1u, accepted.count(key)) << "no accepted sample for a shipped section";
}

} // namespace

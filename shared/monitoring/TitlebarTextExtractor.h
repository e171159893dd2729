#pragma once
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "shared/TCShrdApi.h"

// Cuts context out of window titles with per-application rules read from
// the rules file "ApplicationRules.txt" of the installation:
//
//   # comment
//   [WINWORD.EXE]                       original file name of the executable
//   ACTIVITY="Writing"                  string 3
//   STRING2_DELETE_AFTER=" - Word"      string 2: the document name
//
// Rules are applied sorted by name (character-code order), rules of one
// name in the order of the file. Every rule acts on the title as the rules
// before it left it; the table of names is in TitlebarTextExtractor.cpp.
// Results count as second-class context.
class TCSHRD_API TitlebarTextExtractor {
public:
    // The rules of one application: rule name to value, sorted by name,
    // equal names in file order.
    using RuleList = std::multimap<std::wstring, std::wstring>;

    static const wchar_t* const RulesFileName; // "ApplicationRules.txt"

    // Loads the rules file of the installation (see getRulesFilePath).
    TitlebarTextExtractor();
    // Loads the rules file at path (the tools, the tests).
    explicit TitlebarTextExtractor(const std::wstring& rulesFile);
    virtual ~TitlebarTextExtractor();
    TitlebarTextExtractor(const TitlebarTextExtractor&) = delete;
    TitlebarTextExtractor& operator=(const TitlebarTextExtractor&) = delete;

    // The installation folder ("InstallDir" under the machine's
    // "Software\Ondrivex", default "C:\Program Files\Ondrivex\", which must
    // end with a separator) followed by RulesFileName.
    static std::wstring getRulesFilePath();

    // 1 when the rules have a section for exeKey (already upper case), else 0.
    int canProcess(const std::wstring& exeKey) const;
    // Runs the rules of exeKey over title. 1 with strings 1 and 2 written;
    // 0 when there are no rules for it or a rule fails, strings 1 and 2
    // untouched then (an "ACTIVITY" rule may have written string 3 already).
    int process(const std::wstring& exeKey, const std::wstring& title, std::wstring& string1,
                std::wstring& string2, std::wstring& string3) const;

    // Adds the rules in the bytes of a rules file to the table. The file is
    // read as UTF-8 when it is valid UTF-8 (a byte-order mark is skipped),
    // else one byte per character.
    void readApplicationRules(const std::string& bytes);

    // The sections read, and the rules of one (empty when unknown).
    std::vector<std::wstring> getApplications() const;
    std::vector<std::pair<std::wstring, std::wstring>> getRules(const std::wstring& exeKey) const;

    // Whether name is one of the rule names the extractor knows.
    static bool isKnownRule(const std::wstring& name);

protected:
    // Reads the rules file of the installation, or the one at path; a file
    // that cannot be opened is traced (1062701) and leaves the table empty.
    void loadApplicationRulesList();
    void loadApplicationRulesList(const std::wstring& path);
    void clearApplicationRulesList();
    bool isExeInApplicationRulesList(const std::wstring& exeKey) const;

    // Splits a rule line into its trimmed name and its quoted value. False,
    // after a trace, for an unknown name (1062703) or a value without
    // quotes (1062704).
    static bool getRuleNameAndValue(const std::wstring& line, std::wstring& name,
                                    std::wstring& value);
    // The value between the first and the last double quote of text (all of
    // it after a single one). False without a double quote.
    static bool getRuleValue(const std::wstring& text, std::wstring& value);
    // Adds the rule to the section's list when section, name and value are
    // all non-empty.
    void addApplicationRule(const std::wstring& section, const std::wstring& name,
                            const std::wstring& value);

    // source without everything up to and including the first text (before)
    // or without the first text and everything after it (after). 0, with
    // out unchanged, when text does not occur.
    static int deleteBefore(const std::wstring& source, const std::wstring& text,
                            std::wstring& out);
    static int deleteAfter(const std::wstring& source, const std::wstring& text, std::wstring& out);
    // The text of source between the parts of pattern around "<SNIP>".
    static int cutBetween(const std::wstring& source, const std::wstring& pattern,
                          std::wstring& out);
    // 1 when title contains text.
    static int ignoreApplication(const std::wstring& title, const std::wstring& text);
    // text without the characters of set at either end.
    static std::wstring trimUnwantedChars(const std::wstring& text, const std::wstring& set);

private:
    std::map<std::wstring, std::unique_ptr<RuleList>> m_rules;
};

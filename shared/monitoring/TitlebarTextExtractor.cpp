#include "shared/monitoring/TitlebarTextExtractor.h"

#include <cwchar>

#include "base/ByteArray.h"
#include "base/Event.h"
#include "base/File.h"
#include "base/Logger.h"
#include "base/Registry.h"
#include "base/Tools.h"
#include "base/Utf16.h"

namespace {

// The rules, in the order in which they apply (which is their sorted order).
const wchar_t* const Activity = L"ACTIVITY";
const wchar_t* const IgnoreIfText = L"IGNORE_IF_TXT_IN_TITLEBAR";
const wchar_t* const String1CutBetween = L"STRING1_CUT_BETWEEN";
const wchar_t* const String1DeleteAfter = L"STRING1_DELETE_AFTER";
const wchar_t* const String1DeleteAfterContinue = L"STRING1_DELETE_AFTER_BUT_CONTINUE";
const wchar_t* const String1DeleteBefore = L"STRING1_DELETE_BEFORE";
const wchar_t* const String1DeleteBeforeContinue = L"STRING1_DELETE_BEFORE_BUT_CONTINUE";
const wchar_t* const String1Empty = L"STRING1_EMPTY";
const wchar_t* const String2CutBetween = L"STRING2_CUT_BETWEEN";
const wchar_t* const String2DeleteAfter = L"STRING2_DELETE_AFTER";
const wchar_t* const String2DeleteAfterContinue = L"STRING2_DELETE_AFTER_BUT_CONTINUE";
const wchar_t* const String2DeleteBefore = L"STRING2_DELETE_BEFORE";
const wchar_t* const String2DeleteBeforeContinue = L"STRING2_DELETE_BEFORE_BUT_CONTINUE";
const wchar_t* const String2Empty = L"STRING2_EMPTY";

const wchar_t* const KnownRules[] = {
    Activity,
    IgnoreIfText,
    String1CutBetween,
    String1DeleteAfter,
    String1DeleteAfterContinue,
    String1DeleteBefore,
    String1DeleteBeforeContinue,
    String1Empty,
    String2CutBetween,
    String2DeleteAfter,
    String2DeleteAfterContinue,
    String2DeleteBefore,
    String2DeleteBeforeContinue,
    String2Empty,
};

const wchar_t* const Snip = L"<SNIP>";
const wchar_t* const Blanks = L" \t\r\n";

// The rules file is a few kilobytes; anything far larger is not one.
const int MaximumRulesFileBytes = 4 * 1024 * 1024;

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isUtf8(const std::string& bytes)
{
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        size_t length = 0;
        unsigned long minimum = 0;
        unsigned long code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1F;
            minimum = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0F;
            minimum = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (n - i < length)
            return false;
        for (size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::wstring decodeRulesText(const std::string& bytes)
{
    if (isUtf8(bytes)) {
        const bool bom = bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
        return Utf16::fromUtf8(bom ? bytes.substr(3) : bytes);
    }
    // Files written before UTF-8 was read: one byte, one character.
    std::wstring text;
    text.reserve(bytes.size());
    for (char c : bytes)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

const wchar_t* const TitlebarTextExtractor::RulesFileName = L"ApplicationRules.txt";

TitlebarTextExtractor::TitlebarTextExtractor()
{
    loadApplicationRulesList();
}

TitlebarTextExtractor::TitlebarTextExtractor(const std::wstring& rulesFile)
{
    loadApplicationRulesList(rulesFile);
}

TitlebarTextExtractor::~TitlebarTextExtractor()
{
    clearApplicationRulesList();
}

std::wstring TitlebarTextExtractor::getRulesFilePath()
{
    const Registry machine(Registry::LocalMachine);
    return machine.read(L"InstallDir", L"C:\\Program Files\\Ondrivex\\") + RulesFileName;
}

bool TitlebarTextExtractor::isKnownRule(const std::wstring& name)
{
    for (const wchar_t* known : KnownRules)
        if (name == known)
            return true;
    return false;
}

void TitlebarTextExtractor::loadApplicationRulesList()
{
    loadApplicationRulesList(getRulesFilePath());
}

void TitlebarTextExtractor::loadApplicationRulesList(const std::wstring& path)
{
    ByteArray bytes;
    if (!File::load(path, bytes, MaximumRulesFileBytes)) {
        Event e(1062701, L"Failed to open application rule file",
                TC_AT(L"TitlebarTextExtractor::loadApplicationRulesList"));
        e.addDetails(L"File name", RulesFileName);
        Logger::Trace(e);
        return;
    }
    readApplicationRules(std::string(reinterpret_cast<const char*>(bytes.getData()),
                                     static_cast<size_t>(bytes.getSize())));
}

void TitlebarTextExtractor::readApplicationRules(const std::string& bytes)
{
    const std::wstring text = decodeRulesText(bytes);
    std::wstring section;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        // The file was read in text mode: a CR before the LF is not part of the line.
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (line.empty() || line[0] == L'#')
            continue;
        if (line[0] == L'[') {
            const size_t close = line.find(L']', 1);
            section = trimUnwantedChars(
                line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1),
                Blanks);
            Tools::stringToUpper(section);
            if (section.empty())
                continue;
            if (isExeInApplicationRulesList(section)) {
                Event e(1062702, L"Application rule file containsmultiple entries for application",
                        TC_AT(L"TitlebarTextExtractor::loadApplicationRulesList"));
                e.addDetails(L"Rule read fom file", section);
                Logger::Trace(e);
            } else {
                m_rules[section].reset(new RuleList());
            }
            continue;
        }
        if (line.find(L'=') == std::wstring::npos)
            continue;
        std::wstring name;
        std::wstring value;
        if (getRuleNameAndValue(line, name, value))
            addApplicationRule(section, name, value);
    }
}

bool TitlebarTextExtractor::getRuleNameAndValue(const std::wstring& line, std::wstring& name,
                                                std::wstring& value)
{
    const size_t equals = line.find(L'=');
    if (equals == std::wstring::npos)
        return false;
    name = trimUnwantedChars(line.substr(0, equals), Blanks);
    if (!isKnownRule(name)) {
        Event e(1062703, L"Unknown rule in application rule file",
                TC_AT(L"TitlebarTextExtractor::loadApplicationRulesList"));
        e.addDetails(L"Rule read fom file", line);
        Logger::Trace(e);
        return false;
    }
    if (!getRuleValue(line.substr(equals + 1), value)) {
        Event e(1062704, L"Incorrectly formatted rule value line",
                TC_AT(L"TitlebarTextExtractor::loadApplicationRulesList"));
        e.addDetails(L"Rule text read fom file", line);
        Logger::Trace(e);
        return false;
    }
    return true;
}

bool TitlebarTextExtractor::getRuleValue(const std::wstring& text, std::wstring& value)
{
    const size_t first = text.find(L'"');
    if (first == std::wstring::npos)
        return false;
    const size_t last = text.rfind(L'"');
    value = last == first ? text.substr(first + 1) : text.substr(first + 1, last - first - 1);
    return true;
}

void TitlebarTextExtractor::addApplicationRule(const std::wstring& section,
                                               const std::wstring& name, const std::wstring& value)
{
    if (section.empty() || name.empty() || value.empty())
        return;
    std::unique_ptr<RuleList>& list = m_rules[section];
    if (!list)
        list.reset(new RuleList());
    // A multimap inserts after the rules of the same name: file order is kept.
    list->insert(std::make_pair(name, value));
}

void TitlebarTextExtractor::clearApplicationRulesList()
{
    m_rules.clear();
}

bool TitlebarTextExtractor::isExeInApplicationRulesList(const std::wstring& exeKey) const
{
    return m_rules.find(exeKey) != m_rules.end();
}

int TitlebarTextExtractor::canProcess(const std::wstring& exeKey) const
{
    return isExeInApplicationRulesList(exeKey) ? 1 : 0;
}

std::vector<std::wstring> TitlebarTextExtractor::getApplications() const
{
    std::vector<std::wstring> names;
    for (const auto& entry : m_rules)
        names.push_back(entry.first);
    return names;
}

std::vector<std::pair<std::wstring, std::wstring>> TitlebarTextExtractor::getRules(
    const std::wstring& exeKey) const
{
    std::vector<std::pair<std::wstring, std::wstring>> rules;
    const auto found = m_rules.find(exeKey);
    if (found != m_rules.end())
        rules.assign(found->second->begin(), found->second->end());
    return rules;
}

int TitlebarTextExtractor::deleteBefore(const std::wstring& source, const std::wstring& text,
                                        std::wstring& out)
{
    const size_t at = source.find(text);
    if (at == std::wstring::npos)
        return 0;
    out = source.substr(at + text.size());
    return 1;
}

int TitlebarTextExtractor::deleteAfter(const std::wstring& source, const std::wstring& text,
                                       std::wstring& out)
{
    const size_t at = source.find(text);
    if (at == std::wstring::npos)
        return 0;
    out = source.substr(0, at);
    return 1;
}

int TitlebarTextExtractor::cutBetween(const std::wstring& source, const std::wstring& pattern,
                                      std::wstring& out)
{
    if (pattern == Snip) {
        out = source;
        return 1;
    }
    const size_t snip = pattern.find(Snip);
    if (snip == std::wstring::npos)
        return 0;
    const std::wstring head = pattern.substr(0, snip);
    const std::wstring tail = pattern.substr(snip + std::wcslen(Snip));
    const size_t headAt = source.find(head);
    const size_t tailAt = source.find(tail);
    if (headAt == std::wstring::npos || tailAt == std::wstring::npos)
        return 0;
    const size_t from = headAt + head.size();
    out = tailAt < from ? source.substr(from) : source.substr(from, tailAt - from);
    return 1;
}

int TitlebarTextExtractor::ignoreApplication(const std::wstring& title, const std::wstring& text)
{
    return title.find(text) != std::wstring::npos ? 1 : 0;
}

std::wstring TitlebarTextExtractor::trimUnwantedChars(const std::wstring& text,
                                                      const std::wstring& set)
{
    const size_t first = text.find_first_not_of(set);
    if (first == std::wstring::npos)
        return std::wstring();
    const size_t last = text.find_last_not_of(set);
    return text.substr(first, last - first + 1);
}

int TitlebarTextExtractor::process(const std::wstring& exeKey, const std::wstring& title,
                                   std::wstring& string1, std::wstring& string2,
                                   std::wstring& string3) const
{
    const auto found = m_rules.find(exeKey);
    if (found == m_rules.end())
        return 0;
    const RuleList& rules = *found->second;
    if (rules.empty()) {
        Event e(1062705, L"No rules are present from this application",
                TC_AT(L"TitlebarTextExtractor::process"));
        e.addDetails(L"Application name", exeKey);
        Logger::Trace(e);
        return 0;
    }
    std::wstring working1 = title;
    std::wstring working2 = title;
    for (const auto& rule : rules) {
        const std::wstring& name = rule.first;
        const std::wstring& value = rule.second;
        if (name == Activity) {
            string3 = value;
        } else if (name == IgnoreIfText) {
            if (ignoreApplication(title, value))
                return 0;
        } else if (name == String1CutBetween) {
            if (!cutBetween(working1, value, working1))
                return 0;
        } else if (name == String1DeleteAfter) {
            if (!deleteAfter(working1, value, working1))
                return 0;
        } else if (name == String1DeleteAfterContinue) {
            deleteAfter(working1, value, working1);
        } else if (name == String1DeleteBefore) {
            if (!deleteBefore(working1, value, working1))
                return 0;
        } else if (name == String1DeleteBeforeContinue) {
            deleteBefore(working1, value, working1);
        } else if (name == String1Empty) {
            working1.clear();
        } else if (name == String2CutBetween) {
            if (!cutBetween(working2, value, working2))
                return 0;
        } else if (name == String2DeleteAfter) {
            if (!deleteAfter(working2, value, working2))
                return 0;
        } else if (name == String2DeleteAfterContinue) {
            deleteAfter(working2, value, working2);
        } else if (name == String2DeleteBefore) {
            if (!deleteBefore(working2, value, working2))
                return 0;
        } else if (name == String2DeleteBeforeContinue) {
            deleteBefore(working2, value, working2);
        } else if (name == String2Empty) {
            working2.clear();
        } else {
            Event e(1062706, L"Unknown rule in application rule list",
                    TC_AT(L"TitlebarTextExtractor::process"));
            e.addDetails(L"Application name", exeKey);
            e.addDetails(L"Rule name", name);
            Logger::Trace(e);
            return 0;
        }
    }
    string1 = working1;
    string2 = working2;
    return 1;
}

#include "shared/monitoring/OLETextExtractor.h"

OLETextExtractor::OLETextExtractor()
{
    m_table[L"DEVENV.EXE"] = Reader{L"VisualStudio.DTE.9.0", L"ActiveDocument", L"FullName"};
    m_table[L"POWERPNT.EXE"] =
        Reader{L"PowerPoint.Application", L"ActivePresentation", L"FullName"};
}

OLETextExtractor::~OLETextExtractor() = default;

bool OLETextExtractor::canProcess(const TopLevelWindow*) const
{
    return false;
}

bool OLETextExtractor::process(const TopLevelWindow*, std::wstring&, std::wstring&,
                               std::wstring&) const
{
    return false;
}

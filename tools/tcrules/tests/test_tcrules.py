"""Runs `tcrules` on rules files written here and checks what it prints.

    test_tcrules.py CASE TCRULES SHIPPED_RULES [EMULATOR...]

CASE is rules, fallbacks, events, shipped or usage. With an emulator (Wine
for the Windows builds) file names are handed over as Windows paths on
drive Z:.
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'common'))
from tooltest import Tool, check, finish  # noqa: E402

def report(quality, s1, s2, s3):
    return 'quality=%s\nstring1=%s\nstring2=%s\nstring3=%s\n' % (quality, s1, s2, s3)


def write_rules(folder, text, encoding='utf-8'):
    path = os.path.join(folder, 'ApplicationRules.txt')
    with open(path, 'wb') as f:
        f.write(text.encode(encoding))
    return path


def expect(tool, args, expected, what, stderr_has=(), stderr_empty=False):
    code, out, err = tool.run(*args)
    check(code == 0, '%s: exit code %d, stderr %r' % (what, code, err))
    check(out == expected, '%s:\n got      %r\n expected %r' % (what, out, expected))
    for text in stderr_has:
        check(text in err, '%s: stderr lacks %r: %r' % (what, text, err))
    if stderr_empty:
        check(err == '', '%s: unexpected stderr %r' % (what, err))


WORD_RULES = (
    '# rules for the test\r\n'
    '[ winword.exe ]\r\n'
    'STRING1_DELETE_BEFORE=" - "\r\n'
    'ACTIVITY="Writing"\r\n'
    'STRING1_EMPTY="x"\r\n'
    'STRING2_DELETE_AFTER=" - Word"\r\n'
    '[CHAT.EXE]\n'
    'STRING2_CUT_BETWEEN="[<SNIP>]"\n'
    'STRING1_DELETE_AFTER_BUT_CONTINUE=" \u2014 "\n')


def case_rules(tool, folder, shipped):
    rules = tool.path(write_rules(folder, WORD_RULES))
    expect(tool, [rules, 'WinWord.exe', 'Report.docx - Word', 'Microsoft Word'],
           report('SecondClass', '', 'Report.docx', 'Writing'), 'rules match', stderr_empty=True)
    smile = '\U0001F600'
    expect(tool, [rules, 'chat.exe', 'Team ' + smile + ' \u2014 [Stand-up] \u2014 Chat'],
           report('SecondClass', 'Team ' + smile, 'Stand-up', 'Unspecified'),
           'characters beyond the basic plane and an em dash pass through', stderr_empty=True)


def case_fallbacks(tool, folder, shipped):
    rules = tool.path(write_rules(folder, WORD_RULES))
    expect(tool, [rules, 'WINWORD.EXE', 'Word'], report('FourthClass', '', 'Word', 'Writing'),
           'a failing rule gives the whole title, string 3 kept from ACTIVITY')
    expect(tool, [rules, 'NOTEPAD.EXE', 'Plan.txt - Notepad', 'Notepad'],
           report('ThirdClass', '', 'Plan.txt', 'Unspecified'), 'title split')
    expect(tool, [rules, 'NOTEPAD.EXE', 'Alpha - Beta - Gamma', 'Gamma'],
           report('FourthClass', '', 'Alpha - Beta - Gamma', 'Unspecified'), 'split fails on three parts')
    expect(tool, [rules, 'CALC.EXE', 'Calculator'],
           report('FourthClass', '', 'Calculator', 'Unspecified'), 'no rules and no separator')


def case_events(tool, folder, shipped):
    missing = tool.path(os.path.join(folder, 'absent', 'ApplicationRules.txt'))
    expect(tool, [missing, 'WINWORD.EXE', 'Report.docx - Word', 'Microsoft Word'],
           report('ThirdClass', '', 'Report.docx', 'Unspecified'), 'missing file: the title split decides',
           stderr_has=['1062701 Failed to open application rule file', 'File name:ApplicationRules.txt'])
    bad = tool.path(write_rules(folder,
                                '[APP.EXE]\n'
                                'STRING9_EMPTY="x"\n'
                                'STRING2_DELETE_AFTER= - App\n'
                                '[app.exe]\n'
                                'STRING2_DELETE_AFTER=" - App"\n'
                                '[EMPTY.EXE]\n'))
    expect(tool, [bad, 'APP.EXE', 'doc - App'], report('SecondClass', 'doc - App', 'doc', 'Unspecified'),
           'bad lines are dropped, the rest applies',
           stderr_has=['1062703 Unknown rule in application rule file  Rule read fom file:STRING9_EMPTY="x"',
                       '1062704 Incorrectly formatted rule value line  Rule text read fom file:'
                       'STRING2_DELETE_AFTER= - App',
                       '1062702 Application rule file containsmultiple entries for application  '
                       'Rule read fom file:APP.EXE'])
    expect(tool, [bad, 'EMPTY.EXE', 'doc - App', 'App'], report('FourthClass', '', 'doc - App', 'Unspecified'),
           'section without rules', stderr_has=['1062705 No rules are present from this application',
                                                'Application name:EMPTY.EXE'])


def case_shipped(tool, folder, shipped):
    rules = tool.path(shipped)
    expect(tool, [rules, 'excel.exe', 'Microsoft Excel - Budget.xlsx', 'Microsoft Excel'],
           report('SecondClass', '', 'Budget.xlsx', 'Spreadsheets'), 'shipped Excel rule', stderr_empty=True)
    expect(tool, [rules, 'firefox.exe', 'Example Domain \u2014 Mozilla Firefox', 'Firefox'],
           report('SecondClass', '', 'Example Domain', 'Web browsing'), 'shipped Firefox rule', stderr_empty=True)


def case_usage(tool, folder, shipped):
    for args in ([], ['only-one'], ['a', 'b'], ['a', 'b', 'c', 'd', 'e']):
        code, out, err = tool.run(*args)
        check(code == 2, 'usage %r: exit code %d' % (args, code))
        check(out == '', 'usage %r: stdout %r' % (args, out))
        check('usage: tcrules RULESFILE EXEKEY TITLE [FILEDESCRIPTION]' in err, 'usage %r: stderr %r' % (args, err))


def main():
    case, exe, shipped = sys.argv[1], sys.argv[2], sys.argv[3]
    tool = Tool(exe, sys.argv[4:])
    with tempfile.TemporaryDirectory() as folder:
        globals()['case_' + case](tool, folder, shipped)
    return finish()


if __name__ == '__main__':
    sys.exit(main())

"""The report pages as a user meets them: the reference server holds a demo
user's recorded day (sent by the protocol peer of the server's own tests,
which shares none of the server's code), tclink makes the signed link with
the client's link code, and headless Chromium, a real browser, follows it
(the sign-in, its cookie and the redirect) and renders the page. The DOM the
browser built is checked; the pictures go to the build's screenshots folder.

usage: test_reports_browser.py CASE TCLINK TCSERVER
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.abspath(os.path.join(HERE, '..', '..', '..'))
sys.path.insert(0, os.path.join(SOURCE_DIR, 'tools', 'tcserver', 'tests'))
import test_tcserver as server_test  # noqa: E402
import tooltest  # noqa: E402
from tooltest import check  # noqa: E402

INT, STRING, BYTES = server_test.INT, server_test.STRING, server_test.BYTES
SYSTEM_STATE_CHANGE, APPLICATION_CHANGE, USER_INFO_UPDATE = 2, 3, 10

DEMO, DEMO_PASSWORD = 'demo', 'demo-password'
OTHER, OTHER_PASSWORD = 'other', 'other-password'


def browser():
    for name in ('chromium', 'chromium-browser'):
        path = shutil.which(name)
        if path:
            return path
    return None


class Browser:
    """Headless Chromium, one fresh profile per visit, so that no cookie of
    an earlier visit signs a later one in."""

    def __init__(self, folder):
        self.exe = browser()
        self.folder = folder
        self.visits = 0

    def run(self, url, *options):
        self.visits += 1
        profile = os.path.join(self.folder, 'profile%d' % self.visits)
        args = [self.exe, '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
                '--user-data-dir=' + profile] + list(options) + [url]
        return subprocess.run(args, capture_output=True, timeout=120)

    def dom(self, url):
        result = self.run(url, '--dump-dom')
        check(result.returncode == 0, 'chromium --dump-dom ran: %r' % result.stderr[-400:])
        return result.stdout.decode('utf-8', 'replace')

    def screenshot(self, url, png, width=1280, height=1000):
        if os.path.exists(png):
            os.remove(png)
        result = self.run(url, '--screenshot=' + png, '--window-size=%d,%d' % (width, height),
                          '--hide-scrollbars')
        check(result.returncode == 0 and os.path.exists(png), 'chromium --screenshot made %s' % png)
        if os.path.exists(png):
            with open(png, 'rb') as f:
                check(f.read(8) == b'\x89PNG\r\n\x1a\n', 'the screenshot is a PNG file')


class Reports:
    """The reference server with the demo user's recorded day and a second
    user's, and links made by tclink."""

    def __init__(self, tclink, tcserver, folder):
        self.tclink = tclink
        self.folder = folder
        db = os.path.join(folder, 'server.db')
        server_test.add_user(tcserver, db, DEMO, DEMO_PASSWORD)
        server_test.add_user(tcserver, db, OTHER, OTHER_PASSWORD)
        self.server = server_test.Server(tcserver, folder)
        self.base = 'http://127.0.0.1:%d/' % self.server.port
        self.numbers = 1000
        salts = server_test.constants(SOURCE_DIR)

        # The stretches lie in today's UTC day whatever the hour: they end
        # now and reach back at most the part of the day that has passed.
        # Just after midnight, wait until two minutes of the day have passed.
        if int(time.time()) % 86400 < 120:
            time.sleep(121 - int(time.time()) % 86400)
        span = min(4 * 3600, int(time.time()) % 86400 - 30)
        step = max(span // 5, 10)
        demo = server_test.Peer(self.server.port, salts)
        demo.log_on(DEMO, DEMO_PASSWORD)
        self.demo_id = demo.user_id
        self.send(demo, step * 5, 'C:\\Programs\\Writer\\writer.exe', 'Writer', ['quarterly-report.doc', 'page 3'])
        self.send(demo, step * 4, 'C:\\Programs\\Mail\\mail.exe', 'Mail', ['Budget <draft> & "notes"'])
        self.state(demo, step * 3, 'SystemStateLocked')
        self.send(demo, step * 2, 'C:\\Programs\\Writer\\writer.exe', 'Writer', ['minutes.doc'])
        self.send(demo, step * 1, 'C:\\Programs\\Sheets\\sheets.exe', 'Sheets', ['forecast.xls'])

        other = server_test.Peer(self.server.port, salts)
        other.log_on(OTHER, OTHER_PASSWORD)
        self.other_id = other.user_id
        self.send(other, step, 'C:\\Programs\\Paint\\paint.exe', 'Paint', ['other-users-secret.png'])
        # Directory groups: both in Sales (same GUID), the demo user alone in
        # Finance, the other alone in Design.
        self.groups(demo, [('Sales', '{5a1e5}'), ('Finance', '{f1a4c}')])
        self.groups(other, [('Sales', '{5a1e5}'), ('Design', '{de5i9}')])
        check(self.demo_id != self.other_id, 'two users, two ids')

    @staticmethod
    def send(peer, age, path, name, context):
        attributes = [(STRING, 'FilePath', path), (STRING, 'OriginalFilename', os.path.basename(path.replace('\\', '/'))),
                      (STRING, 'FileDescription', name), (INT, 'EventTimeDelta', age),
                      (INT, 'MachineID', -1), (STRING, 'MachineName', 'DESK-1'), (STRING, 'MachineDomain', 'HOME')]
        for i, text in enumerate(context):
            attributes.append((STRING, 'ContextString%d' % (i + 1), text))
        clear = [(INT, 'UserID', peer.user_id)]
        reply = peer.submit(peer.envelope(APPLICATION_CHANGE, attributes + clear, clear))
        check(reply[INT]['MsgType'] in (4, 5), 'the server took %s (%r)' % (name, reply[INT]))

    @staticmethod
    def groups(peer, groups):
        attributes = [(STRING, 'WindowsUserName', 'user'), (STRING, 'UserDomain', 'HOME')]
        for i, (name, guid) in enumerate(groups):
            attributes += [(STRING, 'ADGroupName_%d' % i, name), (STRING, 'ADGroupGUID_%d' % i, guid)]
        clear = [(INT, 'UserID', peer.user_id)]
        reply = peer.submit(peer.envelope(USER_INFO_UPDATE, attributes + clear, clear))
        check(reply[INT]['MsgType'] == 4, 'the server took the groups (%r)' % reply[INT])

    @staticmethod
    def state(peer, age, state):
        reply = peer.status([(STRING, 'SystemState', state), (INT, 'EventTimeDelta', age)])
        check(reply[INT]['MsgType'] in (4, 5), 'the server took %s' % state)

    def link(self, user_id, password, *options):
        """A fresh signed link (each serves once, so each gets its own number)."""
        self.numbers += 1
        result = subprocess.run([self.tclink, str(user_id), self.base, '--number', str(self.numbers)] + list(options),
                                input=(password + '\n').encode(), capture_output=True, timeout=60)
        check(result.returncode == 0, 'tclink made a link: %r' % result.stderr)
        return result.stdout.decode().strip()

    def stop(self):
        check(self.server.stop() == 0, 'SIGTERM ends serve with 0')


def text_of(dom):
    """The page's visible text, tags and entities aside, for plain searches."""
    text = re.sub(r'<title>.*?</title>', ' ', dom, flags=re.S)
    text = re.sub(r'<[^>]*>', ' ', text)
    for entity, char in (('&lt;', '<'), ('&gt;', '>'), ('&quot;', '"'), ('&#39;', "'"), ('&amp;', '&')):
        text = text.replace(entity, char)
    return re.sub(r'\s+', ' ', text)


def needs_browser():
    if browser() is None:
        check(False, 'Chromium is missing (scripts/setup.sh installs the Debian package chromium)')
        return False
    return True


def case_day(tclink, tcserver, folder):
    if not needs_browser():
        return
    reports = Reports(tclink, tcserver, folder)
    chromium = Browser(folder)
    shots = tooltest.screenshot_folder(tclink)

    link = reports.link(reports.demo_id, DEMO_PASSWORD)
    check(link.startswith(reports.base + 'Security/AutoLogin.aspx?uid=%d&dt=' % reports.demo_id),
          'the link signs in at the server: %s' % link)
    check('ReturnUrl=%2fReports%2fGeneral%2fUserSummary.aspx' in link, 'the link returns to the summary')
    dom = chromium.dom(link)
    text = text_of(dom)
    today = time.strftime('%Y-%m-%d', time.gmtime())
    check('Day of demo, %s' % today in text, 'the browser shows the demo user\'s day: %r' % text[:300])
    for expected in ('Writer', 'Mail', 'Sheets', 'quarterly-report.doc | page 3', 'minutes.doc', 'forecast.xls',
                     'Locked', 'Budget <draft> & "notes"'):
        check(expected in text, 'the day shows %r' % expected)
    check('<draft>' not in dom and '&lt;draft&gt;' in dom, 'a document name stays text, never markup')
    check('other-users-secret' not in dom and 'Paint' not in dom, 'nothing of another user')
    check(dom.count('<rect') >= 6, 'the SVG timeline holds the stretches (%d rects)' % dom.count('<rect'))
    rows = re.findall(r'<tr>\s*<td>(\d\d:\d\d:\d\d)</td>', dom)
    check(len(rows) >= 5 and rows == sorted(rows), 'the stretches listed in time order: %r' % rows)

    chromium.screenshot(reports.link(reports.demo_id, DEMO_PASSWORD), os.path.join(shots, 'reports_day.png'))
    group = reports.link(reports.demo_id, DEMO_PASSWORD, '--group')
    check('ReturnUrl=%2fReports%2fGroup%2fGroupList.aspx' in group, 'the group link returns to the group list')
    dom = chromium.dom(group)
    text = text_of(dom)
    check('Groups of demo' in text, 'the group link opens the demo user\'s groups')
    groups = dict(re.findall(r'<tr><td>([^<]*)</td><td>([^<]*)</td></tr>', dom))
    check(groups == {'Sales': 'demo, other', 'Finance': 'demo'}, 'each group with its members: %r' % groups)
    chromium.screenshot(reports.link(reports.demo_id, DEMO_PASSWORD, '--group'),
                        os.path.join(shots, 'reports_groups.png'), height=500)
    reports.stop()


def refused(text):
    return 'Not signed in' in text and 'Day of' not in text and 'Groups of' not in text


def case_refusals(tclink, tcserver, folder):
    if not needs_browser():
        return
    reports = Reports(tclink, tcserver, folder)
    chromium = Browser(folder)
    shots = tooltest.screenshot_folder(tclink)

    # A token changed in one character.
    link = reports.link(reports.demo_id, DEMO_PASSWORD)
    token = re.search(r'token=([^&]*)', link).group(1)
    changed = token[:3] + ('A' if token[3] != 'A' else 'B') + token[4:]
    text = text_of(chromium.dom(link.replace('token=' + token, 'token=' + changed)))
    check(refused(text), 'a changed token is refused: %r' % text[:200])
    check('quarterly-report' not in text, 'a changed token shows nothing of the day')
    # The untouched link still works: the refusal was for the token alone.
    check('Day of demo' in text_of(chromium.dom(link)), 'the untouched link signs in')

    # The demo user's token under the other user's id.
    link = reports.link(reports.demo_id, DEMO_PASSWORD)
    swapped = link.replace('uid=%d&' % reports.demo_id, 'uid=%d&' % reports.other_id)
    check(swapped != link, 'the id was swapped')
    text = text_of(chromium.dom(swapped))
    check(refused(text) and 'other-users-secret' not in text, 'another user\'s id is refused: %r' % text[:200])
    # A link for the other user signed with the demo user's password.
    text = text_of(chromium.dom(reports.link(reports.other_id, DEMO_PASSWORD)))
    check(refused(text) and 'other-users-secret' not in text, 'a link signed with the wrong password is refused')

    # A link serves once.
    link = reports.link(reports.demo_id, DEMO_PASSWORD)
    check('Day of demo' in text_of(chromium.dom(link)), 'a fresh link signs in')
    text = text_of(chromium.dom(link))
    check(refused(text) and 'used already' in text, 'the same link a second time is refused: %r' % text[:200])
    chromium.screenshot(link, os.path.join(shots, 'reports_refused.png'), height=400)

    # The pages themselves need the sign-in.
    text = text_of(chromium.dom(reports.base + 'Reports/General/UserSummary.aspx'))
    check(refused(text), 'the summary without signing in is refused')
    # The server's answer to a refused link is 403, not a page that looks fine.
    code, status, body = server_test.curl(link)
    check(status == 403, 'a refused link answers 403 (%d)' % status)
    reports.stop()


def case_secret(tclink, tcserver, folder):
    """The saved sign-in value, read back by the formats alone: AES-128-CBC
    (the openssl command) under the string key XORed with the UTF-16 name."""
    salts = server_test.constants(SOURCE_DIR)
    string_key = b''.join(salts['StringKeyPart%d' % i] for i in range(1, 8))

    def secret(name, password):
        result = subprocess.run([tclink, '--secret', name], input=(password + '\n').encode(), capture_output=True,
                                timeout=60)
        check(result.returncode == 0, 'tclink --secret %s: %r' % (name, result.stderr))
        return bytes.fromhex(result.stdout.decode().strip())

    def read_back(data, name):
        key = bytearray(string_key)
        for i, b in enumerate(name.encode('utf-16-le')[:len(key)]):
            key[i] ^= b
        return server_test.aes(data, bytes(key[:16]), salts['EnvelopeIV'], decrypt=True)

    value = secret('demo', 'demo-password')
    check(len(value) == 32, 'two blocks for 13 characters and their padding (%d bytes)' % len(value))
    check(read_back(value, 'demo') == 'demo-password'.encode('utf-16-le') + bytes(6), 'the password comes back')
    check(read_back(value, 'dema') != read_back(value, 'demo'), 'the name is part of the key')
    check(secret('Demo', 'demo-password') != value, 'the name is used as given')
    result = subprocess.run([tclink, '--secret', 'demo'], input=b'\n', capture_output=True, timeout=60)
    check(result.returncode == 2 and not result.stdout, 'an empty password is refused')


def main():
    case, tclink, tcserver = sys.argv[1], sys.argv[2], sys.argv[3]
    with tempfile.TemporaryDirectory() as folder:
        globals()['case_' + case](tclink, tcserver, folder)
    return tooltest.finish()


if __name__ == '__main__':
    sys.exit(main())

#!/usr/bin/env python3
"""The manual's page check and the Japanese pages' encoding, on a small manual made for each case: a
check that passes whatever the pages hold would let every fault of the real manual through."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
NAV = '<p class="nav"><a href="a.html">A</a> | <a href="b.html">B</a></p>'
RC = 'STRINGTABLE\nBEGIN\n    1 "&Close Application"\n    2 "Reflesh\\tF5"\n    3 "%d log lines wait"\n' \
     '    4 "このファイルを閉じる"\n    5 "ログの保存に失敗しました"\nEND\n'


def page(body, nav=NAV):
    return '<html><head><meta http-equiv="Content-Type" content="text/html; charset=utf-8"></head><body>' \
           '%s<h1 id="top">T</h1>%s</body></html>' % (nav, body)


def manual(language="0x409", a="", b="", toc=("a.html", "b.html"), files=("a.html", "b.html")):
    return {
        "m.hhp": "[OPTIONS]\nContents file=toc.hhc\nLanguage=%s\n\n[FILES]\n%s\nstyle.css\n" % (
            language, "\n".join(files)),
        "toc.hhc": "<UL>%s</UL>" % "".join('<LI><OBJECT type="text/sitemap"><param name="Local" value="%s">'
                                           '</OBJECT>' % t for t in toc),
        "a.html": page(a),
        "b.html": page(b),
        "strings.rc": RC,
    }


def run_check(files):
    with tempfile.TemporaryDirectory() as folder:
        for name, text in files.items():
            with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
                f.write(text)
        result = subprocess.run([sys.executable, os.path.join(HERE, "check_pages.py"), folder,
                                 os.path.join(folder, "m.hhp"), os.path.join(folder, "strings.rc")],
                                capture_output=True, text=True, encoding="utf-8")
        return result.returncode, result.stdout


class PageCheck(unittest.TestCase):
    def test_a_sound_manual_passes_in_both_languages(self):
        # Mnemonics, shortcut keys and format fields of the resources, italic parts of a quote, and quotes
        # in code or in texts of Windows itself are all taken as they should be.
        english = manual(a='<a href="b.html#top">b</a> "Close Application", "Reflesh", "<i>12</i> log lines wait"',
                         b='<code>x "y"</code> and <span class="win">"Run as administrator"</span>')
        code, output = run_check(english)
        self.assertEqual(code, 0, output)
        japanese = manual(language="0x411 Japanese", a="「このファイルを閉じる」と「ログの保存に失敗しました」",
                          b='<code>「x」</code><span class="win">「ログオン時」</span>')
        code, output = run_check(japanese)
        self.assertEqual(code, 0, output)

    def test_each_fault_is_reported(self):
        cases = [
            ("a link to a missing page", manual(a='<a href="c.html">c</a>'), "link to c.html"),
            ("a missing anchor", manual(a='<a href="b.html#nowhere">b</a>'), "no anchor nowhere"),
            ("a missing anchor on the same page", manual(a='<a href="#gone">x</a>'), "no anchor gone"),
            ("a page left out of the contents", manual(toc=("a.html",)), "b.html is missing from the contents"),
            ("a page left out of the project", manual(files=("a.html",), toc=("a.html",)),
             "b.html is not listed"),
            ("a navigation bar without a page", dict(manual(), **{"b.html": page("", NAV.split(" | ")[0] + "</p>")}),
             "b.html: the navigation bar lacks b.html"),
            ("a misspelt menu item", manual(a='"Close Aplication"'), '"Close Aplication"'),
            ("a quote that is only part of a word", manual(a='"lose Application"'), '"lose Application"'),
            ("a Japanese text the table lacks", manual(language="0x411", a="「表示更新」"), '"表示更新"'),
            ("a Japanese quote cut inside a word", manual(language="0x411", a="「閉じる」"), '"閉じる"'),
            ("an unpaired quote", manual(a='"Close Application'), "do not pair up"),
        ]
        for name, files, expected in cases:
            code, output = run_check(files)
            self.assertEqual(code, 1, name)
            self.assertIn(expected, output, name)


class Encoding(unittest.TestCase):
    def encode(self, text):
        with tempfile.TemporaryDirectory() as folder:
            source, work = os.path.join(folder, "src"), os.path.join(folder, "work")
            os.makedirs(source)
            with open(os.path.join(source, "p.html"), "w", encoding="utf-8", newline="") as f:
                f.write(text)
            result = subprocess.run([sys.executable, os.path.join(HERE, "encode_pages.py"), source, work],
                                    capture_output=True, text=True)
            data = None
            if result.returncode == 0:
                with open(os.path.join(work, "p.html"), "rb") as f:
                    data = f.read()
            return result.returncode, data, result.stdout

    def test_pages_become_shift_jis_and_say_so(self):
        code, data, _ = self.encode('<meta content="text/html; charset=utf-8">\n「終了」\n')
        self.assertEqual(code, 0)
        self.assertEqual(data, '<meta content="text/html; charset=Shift_JIS">\r\n「終了」\r\n'.encode("cp932"))

    def test_a_character_without_a_shift_jis_code_stops_the_build(self):
        code, _, output = self.encode("line\nemdash \u2014 here\n")
        self.assertNotEqual(code, 0)
        self.assertIn(":2:", output)


if __name__ == "__main__":
    unittest.main()

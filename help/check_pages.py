#!/usr/bin/env python3
"""Checks the manual's pages of one language before they are compiled.

Usage: check_pages.py HELP_FOLDER PROJECT.hhp STRINGS.rc [SOURCE...]

Fails on
- a page of the folder that the project does not list, or a listed file that does not exist;
- a page missing from the contents (the project's contents file) or from a page's navigation bar
  (<p class="nav">), and a contents entry or navigation link to a page that does not exist;
- a link to a file that does not exist, or to an anchor (#name) that the page it names does not have;
- a quoted text of the program that the resource file (that language's string tables, menus and
  dialogs) does not hold, nor the sources given (texts the program shows in English in every
  language). English pages quote the program with "...", Japanese ones with the corner
  brackets; an italic part of a quote stands for any text (a number, a name), as a format field of
  the resource does. Texts in <code> or <pre>, and in an element of class "win" (the texts of
  Windows itself), are not the program's and are not looked up.
"""
import html.parser
import os
import re
import sys

BLOCK_TAGS = {"p", "li", "td", "th", "h1", "h2", "h3", "dd", "dt", "pre", "title", "tr", "ul", "ol", "table"}
SKIP_TAGS = {"code", "pre", "script", "style"}
WILDCARD = "\x00"
BLOCK_END = "\x01"
VOID_TAGS = {"br", "meta", "link", "img", "hr", "input", "param"}


def read_text(path):
    with open(path, "rb") as f:
        data = f.read()
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError as error:
        raise SystemExit("%s is not UTF-8 (%s)" % (path, error))


def project(hhp_path):
    """The [OPTIONS] values and the [FILES] list of a help project."""
    options, files, section = {}, [], None
    for line in read_text(hhp_path).splitlines():
        line = line.strip()
        if line.startswith("["):
            section = line.upper()
        elif section == "[OPTIONS]" and "=" in line:
            key, value = line.split("=", 1)
            options[key.strip().lower()] = value.strip()
        elif section == "[FILES]" and line:
            files.append(line)
    return options, files


class Page(html.parser.HTMLParser):
    """Links, anchors, the navigation bar's links and the text (with its quotes) of one page."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links, self.anchors, self.nav, self.locals = [], set(), [], []
        self.text = []
        self.stack = []  # (tag, skipped, italic, nav)

    def _flag(self, index):
        return any(entry[index] for entry in self.stack)

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        for key in ("id", "name"):
            if tag != "param" and attrs.get(key):
                self.anchors.add(attrs[key])
        if tag == "a" and attrs.get("href"):
            self.links.append(attrs["href"])
            if self._flag(3):
                self.nav.append(attrs["href"])
        if tag == "param" and (attrs.get("name") or "").lower() == "local":
            self.locals.append(attrs.get("value", ""))
        if tag in BLOCK_TAGS:
            self.text.append(BLOCK_END)
        if tag in VOID_TAGS:
            return
        classes = (attrs.get("class") or "").split()
        skipped = tag in SKIP_TAGS or "win" in classes
        italic = tag in ("i", "var")
        if italic and not self._flag(1) and not self._flag(2):
            self.text.append(WILDCARD)
        self.stack.append((tag, skipped, italic, tag == "p" and "nav" in classes))

    def handle_endtag(self, tag):
        for i in range(len(self.stack) - 1, -1, -1):
            if self.stack[i][0] == tag:
                del self.stack[i:]
                break
        if tag in BLOCK_TAGS:
            self.text.append(BLOCK_END)

    def handle_data(self, data):
        if not self._flag(1) and not self._flag(2):
            self.text.append(data)


def parse(path):
    page = Page()
    page.feed(read_text(path))
    page.close()
    return page


def rc_texts(rc_path):
    """Every string literal of a resource script (or C++ source), as the program shows it: without the & of a
    mnemonic, with what follows a TAB (a shortcut key) left out, and line breaks as blanks."""
    texts = []
    for line in read_text(rc_path).splitlines():
        if line.lstrip().startswith(("//", "#")):
            continue
        for literal in re.findall(r'"((?:[^"]|"")*)"', line):
            text = literal.replace('""', '"').replace("\\n", " ").replace("\\t", "\t").split("\t")[0]
            text = re.sub(r"&(.)", r"\1", text)
            texts.append(" ".join(text.split()))
    return texts


def quotes(text, japanese):
    """The quoted texts of a page's text, and the blocks whose quotes do not pair up."""
    found, unpaired = [], []
    for block in text.split(BLOCK_END):
        block = " ".join(block.split())
        if japanese:
            # Corner brackets may nest (a quote inside a quoted message): the outermost pairs count.
            depth, start = 0, 0
            for i, ch in enumerate(block):
                if ch == "「":
                    if depth == 0:
                        start = i + 1
                    depth += 1
                elif ch == "」":
                    depth -= 1
                    if depth == 0:
                        found.append(block[start:i])
                    if depth < 0:
                        break
            if depth != 0:
                unpaired.append(block)
        else:
            if block.count('"') % 2:
                unpaired.append(block)
            found.extend(re.findall(r'"([^"]*)"', block))
    return found, unpaired


# A quote may be part of a longer text (a sentence of a message, the words before a number), but it
# must begin and end where a text or a phrase of it does, so that a misspelt menu item is not taken
# for a piece of another word.
PHRASE_START = r"(?:^|(?<=[\s「『（(。、.:：\"']))"
PHRASE_END = r"(?=$|[\s」』（）()。、.,:：;\"'!?？！])"


def quote_pattern(quote, ellipsis_wild):
    parts = []
    for piece in re.split("(%s)" % WILDCARD, quote.strip()):
        if piece == WILDCARD:
            parts.append(".*?")
        elif ellipsis_wild:
            parts.append(".*?".join(re.escape(p.strip()) for p in re.split(r"\.\.\.|…", piece)))
        else:
            parts.append(re.escape(piece))
    return re.compile(PHRASE_START + "".join(parts) + PHRASE_END, re.DOTALL)


def in_resources(quote, texts):
    for ellipsis_wild in (False, True):
        pattern = quote_pattern(quote, ellipsis_wild)
        if any(pattern.search(t) for t in texts):
            return True
    return False


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    folder, hhp, rc = sys.argv[1:4]
    errors = []
    options, files = project(hhp)
    japanese = options.get("language", "").lower().startswith("0x411")
    pages = [f for f in files if f.lower().endswith(".html")]
    if not pages:
        errors.append("%s lists no pages" % hhp)
    for name in pages:
        if not os.path.isfile(os.path.join(folder, name)):
            errors.append("%s lists %s, which does not exist" % (hhp, name))
    for name in sorted(os.listdir(folder)):
        if name.lower().endswith(".html") and name not in pages:
            errors.append("%s is not listed in %s" % (name, hhp))

    parsed = {name: parse(os.path.join(folder, name)) for name in pages if os.path.isfile(os.path.join(folder, name))}
    contents_file = options.get("contents file", "")
    toc = parse(os.path.join(folder, contents_file)) if contents_file else Page()
    if not contents_file:
        errors.append("%s names no contents file" % hhp)
    for target in toc.locals:
        if target not in parsed:
            errors.append("the contents name %s, which is not a page of the project" % target)
    for name in pages:
        if name not in toc.locals:
            errors.append("%s is missing from the contents" % name)

    texts = [t for path in [rc] + sys.argv[4:] for t in rc_texts(path)]
    for name, page in parsed.items():
        missing = [p for p in pages if p not in page.nav]
        if missing:
            errors.append("%s: the navigation bar lacks %s" % (name, ", ".join(missing)))
        for link in page.links:
            if re.match(r"^[a-z]+:", link):
                continue
            target, _, anchor = link.partition("#")
            target = target or name
            if target not in parsed:
                if not (target in files and not anchor):
                    errors.append("%s: link to %s, which is not a page of the project" % (name, link))
                continue
            if anchor and anchor not in parsed[target].anchors:
                errors.append("%s: link to %s, but %s has no anchor %s" % (name, link, target, anchor))
        found, unpaired = quotes("".join(page.text), japanese)
        for block in unpaired:
            errors.append("%s: quotes that do not pair up in: %s" % (name, block[:120]))
        for quote in found:
            if quote.strip() and not in_resources(quote, texts):
                errors.append("%s: the quoted text \"%s\" is not a text of %s" %
                              (name, quote.replace(WILDCARD, "<i>"), os.path.basename(rc)))

    for error in errors:
        print(error)
    if errors:
        return 1
    print("%d pages of %s checked" % (len(parsed), hhp))
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Generates the native build's string table from the resource scripts.

    gen_string_table.py en.rc ja.rc out.cpp [include-dir...]

Reads the STRINGTABLE blocks of both scripts (UTF-8, as their "#pragma code_page(65001)" says),
resolves the ids through the headers they include (looked up beside the script, then in the
include directories, as the resource compiler does), and writes a C++ source that defines
glimmerfen::res::StringTable() (see string_table.h) with the texts in UTF-8. Any construct the
script does not understand stops the build instead of giving a table that differs from the
Windows resources.
"""

import os
import re
import sys


class RcError(Exception):
    pass


# Where included headers are looked for after the including file's own folder (generated headers).
INCLUDE_DIRS = []


def find_include(including_dir, name):
    for folder in [including_dir] + INCLUDE_DIRS:
        candidate = os.path.join(folder, name)
        if os.path.isfile(candidate):
            return candidate
    raise RcError("included file %s not found" % name)


def strip_comments(text):
    """Removes // and /* */ comments outside string literals."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c == '"':
            j = i + 1
            while j < n:
                if text[j] == '\\':
                    j += 2
                    continue
                if text[j] == '"':
                    if j + 1 < n and text[j + 1] == '"':
                        j += 2
                        continue
                    break
                if text[j] == '\n':
                    raise RcError("unterminated string literal")
                j += 1
            out.append(text[i:j + 1])
            i = j + 1
        elif text.startswith('//', i):
            j = text.find('\n', i)
            i = n if j < 0 else j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            if j < 0:
                raise RcError("unterminated comment")
            out.append(' ')
            i = j + 2
        else:
            out.append(c)
            i += 1
    return ''.join(out)


SIMPLE_ESCAPES = {'n': '\n', 't': '\t', 'r': '\r', 'a': '\a', '\\': '\\', '"': '"'}


def unescape(body):
    """Decodes the body of an rc string literal: "" is a quote, backslash escapes as rc reads them."""
    out = []
    i, n = 0, len(body)
    while i < n:
        c = body[i]
        if c == '"':
            # The tokenizer only lets a quote through as the first of a doubled pair.
            out.append('"')
            i += 2
        elif c == '\\':
            if i + 1 >= n:
                raise RcError("backslash at the end of a string")
            e = body[i + 1]
            if e in SIMPLE_ESCAPES:
                out.append(SIMPLE_ESCAPES[e])
                i += 2
            elif e in 'xX':
                m = re.match(r'[0-9a-fA-F]{1,4}', body[i + 2:])
                if not m:
                    raise RcError("\\x without hex digits")
                out.append(chr(int(m.group(0), 16)))
                i += 2 + len(m.group(0))
            elif e in '01234567':
                m = re.match(r'[0-7]{1,3}', body[i + 1:])
                out.append(chr(int(m.group(0), 8)))
                i += 1 + len(m.group(0))
            else:
                raise RcError("unknown escape \\%s" % e)
        else:
            out.append(c)
            i += 1
    return ''.join(out)


TOKEN = re.compile(r'\s*(?:(?P<str>L?"(?:[^"\\\n]|\\.|"")*")|(?P<word>[A-Za-z_][A-Za-z0-9_]*)|'
                   r'(?P<num>0[xX][0-9a-fA-F]+|\d+)[lLuU]*|(?P<punct>\S))')


def tokens(text):
    pos = 0
    while True:
        m = re.compile(r'\s*').match(text, pos)
        pos = m.end()
        if pos >= len(text):
            return
        m = TOKEN.match(text, pos)
        if not m:
            raise RcError("cannot read %r" % text[pos:pos + 30])
        pos = m.end()
        kind = m.lastgroup
        yield kind, m.group(kind)


def read_defines(path, seen=None):
    """Numeric #defines of a header and of the local headers it includes."""
    seen = seen if seen is not None else set()
    defines = {}
    path = os.path.abspath(path)
    if path in seen:
        return defines
    seen.add(path)
    with open(path, encoding='utf-8') as f:
        for line in f:
            m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
            if m:
                defines.update(read_defines(find_include(os.path.dirname(path), m.group(1)), seen))
                continue
            m = re.match(r'\s*#\s*define\s+(\w+)\s+\(?\s*(0[xX][0-9a-fA-F]+|\d+)[lLuU]*\s*\)?\s*(?://.*)?$', line)
            if m:
                defines[m.group(1)] = int(m.group(2), 0)
    return defines


def read_string_table(path):
    """The id -> text map of every STRINGTABLE block of an rc file, and the languages it declares."""
    with open(path, encoding='utf-8') as f:
        raw = f.read()
    if not re.search(r'#\s*pragma\s+code_page\s*\(\s*65001\s*\)', raw):
        raise RcError("%s: missing #pragma code_page(65001)" % path)
    defines = {}
    body_lines = []
    for line in raw.split('\n'):
        m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
        if m:
            defines.update(read_defines(find_include(os.path.dirname(path), m.group(1))))
        # Preprocessor lines (includes, pragmas) take no part in the resource statements.
        body_lines.append('' if line.lstrip().startswith('#') else line)
    text = strip_comments('\n'.join(body_lines))

    toks = list(tokens(text))
    table = {}
    languages = []
    i = 0
    while i < len(toks):
        kind, value = toks[i]
        if kind == 'word' and value == 'LANGUAGE':
            languages.append((toks[i + 1][1], toks[i + 3][1]))
            i += 4
            continue
        if not (kind == 'word' and value == 'STRINGTABLE'):
            i += 1
            continue
        i += 1
        while i < len(toks) and toks[i][1] not in ('BEGIN', '{'):
            i += 1
        i += 1
        while True:
            if i >= len(toks):
                raise RcError("%s: STRINGTABLE without END" % path)
            kind, value = toks[i]
            if value in ('END', '}'):
                i += 1
                break
            if kind == 'num':
                sid = int(value, 0)
            elif kind == 'word':
                if value not in defines:
                    raise RcError("%s: unknown id %s" % (path, value))
                sid = defines[value]
            else:
                raise RcError("%s: expected a string id, found %r" % (path, value))
            i += 1
            if i < len(toks) and toks[i][1] == ',':
                i += 1
            parts = []
            while i < len(toks) and toks[i][0] == 'str':
                literal = toks[i][1]
                literal = literal[1:] if literal.startswith('L') else literal
                parts.append(unescape(literal[1:-1]))
                i += 1
            if not parts:
                raise RcError("%s: id %d has no text" % (path, sid))
            if sid in table:
                raise RcError("%s: id %d appears twice" % (path, sid))
            table[sid] = ''.join(parts)
    return table, languages


def cpp_literal(text):
    """A narrow C++ literal holding the UTF-8 bytes of text; octal escapes cannot run into the next byte."""
    out = ['"']
    for b in text.encode('utf-8'):
        ch = chr(b)
        if ch in '"\\':
            out.append('\\' + ch)
        elif 0x20 <= b < 0x7F and ch != '?':
            out.append(ch)
        else:
            out.append('\\%03o' % b)
    out.append('"')
    return ''.join(out)


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    en_path, ja_path, out_path = argv[1:4]
    INCLUDE_DIRS.extend(argv[4:])
    try:
        english, en_langs = read_string_table(en_path)
        japanese, ja_langs = read_string_table(ja_path)
        if ('LANG_ENGLISH', 'SUBLANG_ENGLISH_US') not in en_langs:
            raise RcError("%s: no LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US" % en_path)
        if ('LANG_JAPANESE', 'SUBLANG_DEFAULT') not in ja_langs:
            raise RcError("%s: no LANGUAGE LANG_JAPANESE, SUBLANG_DEFAULT" % ja_path)
    except (RcError, OSError, UnicodeDecodeError) as e:
        sys.stderr.write("gen_string_table: %s\n" % e)
        return 1

    lines = [
        "// Generated by gen_string_table.py from en.rc and ja.rc. Do not edit.",
        '#include "string_table.h"',
        "",
        "namespace glimmerfen::res {",
        "namespace {",
        "const StringEntry kEntries[] = {",
    ]
    for sid in sorted(set(english) | set(japanese)):
        en = cpp_literal(english[sid]) if sid in english else "nullptr"
        ja = cpp_literal(japanese[sid]) if sid in japanese else "nullptr"
        lines.append("    {%du, %s, %s}," % (sid, en, ja))
    lines += [
        "};",
        "} // namespace",
        "",
        "std::span<const StringEntry> StringTable() { return kEntries; }",
        "",
        "} // namespace glimmerfen::res",
        "",
    ]
    content = "\n".join(lines)
    # Leave an unchanged file alone so that its dependents are not rebuilt.
    try:
        with open(out_path, encoding='utf-8') as f:
            if f.read() == content:
                return 0
    except OSError:
        pass
    with open(out_path, 'w', encoding='utf-8', newline='\n') as f:
        f.write(content)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))

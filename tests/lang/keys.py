#!/usr/bin/env python3
"""The English texts the programs pass to LibTranslate: the language files' keys.

Collected from the sources, not kept by hand:
  - the string literals of every LibTranslate(...) call and LIB_TEXT(...) mark in
    the programs' and the library's sources (adjacent literals are one text);
  - the captions and control texts of every dialog and the items of every menu in
    the resource scripts (each dialog and the tray menu are translated whole).

Printed one a line, escaped as the language files write them ("\\t" a tab,
"\\r" and "\\n" line ends, "\\\\" a backslash), sorted.
"""
import os
import re
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
SOURCE_FOLDERS = ["tray", "tray/wash", "setup", "uninstall", "quorvane", "common"]
RESOURCES = ["res/qvtoolbar.rc", "res/setup.rc", "res/uninstall.rc", "res/quorvane.rc"]
C_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "'": "'", "0": "\0", "a": "\a"}


def decode_literal(body):
    out, i = [], 0
    while i < len(body):
        c = body[i]
        if c == "\\" and i + 1 < len(body):
            n = body[i + 1]
            if n == "x":
                m = re.match(r"[0-9a-fA-F]+", body[i + 2:])
                out.append(chr(int(m.group(0), 16)))
                i += 2 + len(m.group(0))
                continue
            out.append(C_ESCAPES.get(n, n))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def tokens(text):
    """The code as (kind, value) tokens: 'str' literals, 'char' literals and single other characters; no comments."""
    i, n = 0, len(text)
    while i < n:
        if text.startswith("//", i):
            i = text.find("\n", i)
            i = n if i < 0 else i
        elif text.startswith("/*", i):
            i = text.find("*/", i) + 2
        elif text[i] == '"':
            j = i + 1
            while text[j] != '"':
                j += 2 if text[j] == "\\" else 1
            yield ("str", decode_literal(text[i + 1:j]))
            i = j + 1
        elif text[i] == "'":
            j = i + 1
            while text[j] != "'":
                j += 2 if text[j] == "\\" else 1
            yield ("char", text[i:j + 1])
            i = j + 1
        else:
            yield ("code", text[i])
            i += 1


def source_keys(path, where=None):
    keys = set()
    toks = list(tokens(open(path, encoding="latin-1").read()))
    code = "".join(v if k == "code" else ("\x01" if k == "str" else "\x02") for k, v in toks)
    strings = [v for k, v in toks if k == "str"]
    # Index of each string token in code order.
    string_at = [i for i, (k, _) in enumerate(toks) if k == "str"]
    for m in re.finditer(r"\b(LibTranslate|LIB_TEXT)\s*\(", code):
        depth, i = 1, m.end()
        while depth and i < len(code):
            depth += {"(": 1, ")": -1}.get(code[i], 0)
            i += 1
        run = None
        for j in range(m.end(), i):
            if code[j] == "\x01":
                text = strings[string_at.index(j)]
                run = text if run is None else run + text
            elif not code[j].isspace():
                if run:
                    keys.add(run)
                run = None
        if run:
            keys.add(run)
    if where is not None:
        for k in keys:
            where.setdefault(k, set()).add(os.path.relpath(path, ROOT))
    return keys


def rc_keys(path, where=None):
    keys = set()
    block = None
    for line in open(path, encoding="latin-1"):
        stripped = line.strip()
        head = re.match(r"^\S+\s+(DIALOGEX|DIALOG|MENUEX|MENU)\b", stripped)
        if head:
            block = head.group(1)
        m = re.match(r'^(CAPTION|MENUITEM|POPUP|PUSHBUTTON|DEFPUSHBUTTON|LTEXT|RTEXT|CTEXT|GROUPBOX|AUTOCHECKBOX|'
                     r'CHECKBOX|AUTORADIOBUTTON|RADIOBUTTON|CONTROL)\s+"((?:[^"]|"")*)"', stripped)
        if block and m:
            text = decode_literal(m.group(2).replace('""', '"'))
            if re.search(r"[A-Za-z]", text):
                keys.add(text)
                if where is not None:
                    kind = {"CAPTION": "window caption", "MENUITEM": "menu item", "POPUP": "menu"}.get(
                        m.group(1), "dialog control " + m.group(1).lower())
                    where.setdefault(text, set()).add(f"{os.path.relpath(path, ROOT)} {kind}")
        if stripped == "END" and not line.startswith(" "):
            block = None
    return keys


def dialog_texts():
    """The texts of each dialog and menu of the resources, by "file name": a list per block."""
    blocks = {}
    for rc in RESOURCES:
        path = os.path.join(ROOT, rc)
        name = None
        for line in open(path, encoding="latin-1"):
            stripped = line.strip()
            head = re.match(r"^(\S+)\s+(DIALOGEX|DIALOG|MENUEX|MENU)\b", stripped)
            if head:
                name = f"{rc} {head.group(2)} {head.group(1)}"
                blocks[name] = []
            m = re.match(r'^(MENUITEM|PUSHBUTTON|DEFPUSHBUTTON|LTEXT|RTEXT|CTEXT|GROUPBOX|AUTOCHECKBOX|'
                         r'CHECKBOX|AUTORADIOBUTTON|RADIOBUTTON|CONTROL)\s+"((?:[^"]|"")*)"', stripped)
            if name and m and re.search(r"[A-Za-z]", m.group(2)):
                blocks[name].append(decode_literal(m.group(2).replace('""', '"')))
            if stripped == "END" and not line.startswith(" "):
                name = None
    return blocks


def collect(where=None):
    keys = set()
    for folder in SOURCE_FOLDERS:
        base = os.path.join(ROOT, folder)
        for name in sorted(os.listdir(base)):
            if name.endswith((".cpp", ".h")):
                keys |= source_keys(os.path.join(base, name), where)
    for rc in RESOURCES:
        keys |= rc_keys(os.path.join(ROOT, rc), where)
    return sorted(k for k in keys if k.strip())


def escape(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r").replace("\n", "\\n")


if __name__ == "__main__":
    where = {} if "--where" in sys.argv else None
    for key in collect(where):
        sys.stdout.write(escape(key) + ("\t" + "; ".join(sorted(where[key])) if where is not None else "") + "\n")

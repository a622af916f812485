#!/usr/bin/env python3
"""Checks language files against the keys the programs pass to LibTranslate.

    check.py FILE...            built files, each in its Windows code page
    check.py --source FILE...   the UTF-8 sources in res/lang/

A file holds one language: a "[N] codepage C" line, then one line a text, the
English key, a TAB and the translation (escapes "\\t", "\\r", "\\n", "\\\\").
For each file: the header names a known language and its code page; every byte
decodes in that code page (a source: every character has a place in it); every
key is translated, and nothing else; every translation has the key's printf
conversions in the same order, its "::" line breaks, the same number of "&"
accelerators, and its leading and trailing blanks. Exit code 1 with a line for
each fault.
"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import keys as keys_module  # noqa: E402

# Language number: (code, Windows ANSI code page), as setup's list numbers them.
LANGUAGES = {
    1: ("fr", 1252), 2: ("de", 1252), 3: ("ja", 932), 4: ("es", 1252), 5: ("sv", 1252), 6: ("it", 1252),
    7: ("cs", 1250), 8: ("ru", 1251), 9: ("nl", 1252), 10: ("zh-CN", 936), 11: ("no", 1252), 12: ("is", 1252),
    13: ("da", 1252), 14: ("pl", 1250), 15: ("ro", 1250), 16: ("pt", 1252), 17: ("fi", 1252), 18: ("zh-TW", 950),
    19: ("el", 1253),
}
CONVERSION = re.compile(r"%(?:%|[-+ #0]*(?:\d+|\*)?(?:\.(?:\d+|\*))?(?:hh|h|ll|l|I64|I32|z|j|t|L)?[diouxXeEfgGaAcspn])")


def conversions(text):
    return [c for c in CONVERSION.findall(text) if c != "%%"]


def accelerators(text):
    return len(re.findall(r"&(?!&)", text.replace("&&", "")))


def accelerator_letter(text):
    m = re.search(r"&([^&])", text.replace("&&", ""))
    return m.group(1).lower() if m else None


def edge_blanks(text):
    return (len(text) - len(text.lstrip(" ")), len(text) - len(text.rstrip(" ")))


def check_file(path, source, expected):
    faults = []
    raw = open(path, "rb").read()
    number = codepage = None
    header = re.search(rb"^\[(\d+)\] codepage (\d+)\r?$", raw, re.M)
    if not header:
        return [f"{path}: no \"[N] codepage C\" line"]
    number, codepage = int(header.group(1)), int(header.group(2))
    if number not in LANGUAGES or LANGUAGES[number][1] != codepage:
        return [f"{path}: language {number} with code page {codepage} is not one of setup's"]
    try:
        text = raw.decode("utf-8" if source else f"cp{codepage}")
        if source:
            text.encode(f"cp{codepage}")
    except UnicodeError as e:
        return [f"{path}: not in code page {codepage}: {e}"]
    seen = {}
    for n, line in enumerate(text.splitlines(), 1):
        if not line or line.startswith(";") or line.startswith("[") or "\t" not in line:
            continue
        english, translated = line.split("\t", 1)
        if english in seen:
            faults.append(f"{path}:{n}: \"{english}\" twice")
        seen[english] = translated
    for key in expected:
        if key not in seen:
            faults.append(f"{path}: missing \"{key}\"")
            continue
        t = seen[key]
        if not t.strip():
            faults.append(f"{path}: \"{key}\" is translated as nothing")
        if conversions(key) != conversions(t):
            faults.append(f"{path}: \"{key}\": conversions {conversions(t)}, not {conversions(key)}")
        if key.count("::") != t.count("::"):
            faults.append(f"{path}: \"{key}\": {t.count('::')} line breaks \"::\", not {key.count('::')}")
        if accelerators(key) != accelerators(t):
            faults.append(f"{path}: \"{key}\": {accelerators(t)} accelerators \"&\", not {accelerators(key)}")
        if edge_blanks(key) != edge_blanks(t):
            faults.append(f"{path}: \"{key}\": leading or trailing blanks differ")
    for english in seen:
        if english not in expected:
            faults.append(f"{path}: \"{english}\" is no text of the programs")
    # Within one dialog or menu no two texts share an accelerator unless the English ones do.
    for block, texts in keys_module.dialog_texts().items():
        letters = {}
        for english in texts:
            key = keys_module.escape(english)
            letter = accelerator_letter(seen.get(key, ""))
            if letter and english != letters.get(letter, english) and \
                    accelerator_letter(english) != accelerator_letter(letters[letter]):
                faults.append(f"{path}: {block}: \"{seen[key]}\" and the text for \"{letters[letter]}\" "
                              f"share the accelerator \"{letter}\"")
            if letter:
                letters.setdefault(letter, english)
    return faults


def main(argv):
    source = "--source" in argv
    files = [a for a in argv if a != "--source"]
    expected = set(keys_module.escape(k) for k in keys_module.collect())
    faults = []
    for path in files:
        faults += check_file(path, source, expected)
    for fault in faults:
        print(fault)
    print(f"{len(files)} files, {len(expected)} texts each, {len(faults)} faults")
    return 1 if faults or not files else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

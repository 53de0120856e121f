#!/usr/bin/env python3
"""translations_complete.py LUPDATE SOURCE_FOLDER TS_FILE...

Updates copies of the .ts files from the sources (a text without an entry
fails), then checks each message's translation and the accelerators."""
import collections
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

# The window's menu: its items come from two contexts.
MENU = {"Always on top\tCtrl+Shift+A", "&Settings...", "&About Voxreel...", "&Quit"}

QT_ARG = re.compile(r"%L?(\d{1,2}|n)")
STATUS_DIRECTIVE = re.compile(r"%08X|%d|%S")


def full_text(element):
    """The element's text with lupdate's <byte> escapes (e.g. \\r) put back."""
    if element is None:
        return ""
    text = element.text or ""
    for child in element:
        if child.tag == "byte":
            text += chr(int(child.get("value").lstrip("x"), 16))
        text += child.tail or ""
    return text


def accelerator(text):
    """The accelerator character of a text ('&x'), or None; '&&' is a '&'."""
    match = re.search(r"&(?!&)(.)", text.replace("&&", ""))
    return match.group(1).lower() if match else None


def problems_of(context, source, translation):
    problems = []
    if sorted(QT_ARG.findall(source)) != sorted(QT_ARG.findall(translation)):
        problems.append("arguments differ")
    if STATUS_DIRECTIVE.findall(source) != STATUS_DIRECTIVE.findall(translation):
        problems.append("status directives differ")
    if source.count("\n") != translation.count("\n"):
        problems.append("line breaks differ")
    if "\n" not in source and source.count("\t") != translation.count("\t"):
        problems.append("the shortcut's tab differs")
    if (accelerator(source) is None) != (accelerator(translation) is None):
        problems.append("accelerator added or lost")
    return problems


def check(ts_path):
    """Returns (messages, finished, problems) of one updated .ts file."""
    root = ET.parse(ts_path).getroot()
    lang = root.get("language")
    problems = []
    messages = finished = 0
    by_context = collections.defaultdict(list)
    by_source = {}
    for context in root.iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            source = full_text(message.find("source"))
            element = message.find("translation")
            kind = element.get("type") if element is not None else "missing"
            if kind in ("vanished", "obsolete"):
                continue
            messages += 1
            translation = full_text(element)
            where = f"{lang} [{name}] {source!r}"
            if kind == "unfinished" or not translation.strip():
                problems.append(f"{where}: no finished translation")
                continue
            finished += 1
            problems += [f"{where}: {p}" for p in problems_of(name, source, translation)]
            if accelerator(translation):
                by_context[name].append((accelerator(translation), translation))
            by_source[source] = translation
    menu = [by_source[s] for s in MENU if s in by_source]
    groups = [*by_context.items(), ("menu", [(accelerator(t), t) for t in menu if accelerator(t)])]
    for name, items in groups:
        seen = collections.defaultdict(set)
        for key, text in items:
            seen[key].add(text)
        problems += [f"{lang} [{name}]: accelerator '{key}' on {sorted(texts)}"
                     for key, texts in seen.items() if len(texts) > 1]
    return messages, finished, problems


def main():
    lupdate, sources, ts_files = sys.argv[1], sys.argv[2], sys.argv[3:]
    failed = False
    with tempfile.TemporaryDirectory() as work:
        copies = [shutil.copy(ts, os.path.join(work, os.path.basename(ts))) for ts in ts_files]
        subprocess.run([lupdate, "-silent", "-locations", "none", "-no-obsolete", sources,
                        "-ts", *copies], check=True)
        for copy in copies:
            messages, finished, problems = check(copy)
            print(f"{os.path.basename(copy)}: {finished} of {messages} texts translated")
            for problem in problems:
                print("  " + problem)
            failed = failed or bool(problems)
    if failed:
        print("Run the update_translations target, then translate what it marks unfinished.")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Every text the code hands to the translation lookup has a German entry in the catalogue it is
looked up in.

Texts are found where the code names them literally:
  _(L"...")                    the program's domain, then its extra domains
  DGetText(L"dom", L"...")     that domain (also through a constant such as kDomain)
  Name(L"...")                 a unit's own wrapper `Name(...) { return DGetText(dom, ...); }`
  SetCaption / Hint / AddPage and control texts given to Create(*this, L"...") or
  listed as {&control, L"..."} in a form unit: the form's TextDomain, else the program's domain.
A column caption given to AddColumn as a bare literal is reported: nothing translates it.
A unit is checked against the catalogues of every program whose code reaches it through includes.

usage: check_catalogues.py SOURCE_DIR [LANG]
"""
import os
import re
import sys

PROGRAMS = {
    "QlBackup": ("qlbackup", ["winui", "Units"]),
    "HvStarter": ("hvstarter", ["winui", "Indy10", "Units"]),
    "HvWatchdog": ("hvwatchdog", ["winui", "Units"]),
}
SHARED_LAYERS = ("winui", "base", "dialogs", "unattended")

LIT = r'L"((?:[^"\\]|\\.)*)"'
LITS = r'((?:\s*L"(?:[^"\\]|\\.)*")+)'


def unescape(s):
    out, i = [], 0
    while i < len(s):
        c = s[i]
        if c == "\\" and i + 1 < len(s):
            n = s[i + 1]
            i += 2
            if n == "n":
                out.append("\n")
            elif n == "r":
                out.append("\r")
            elif n == "t":
                out.append("\t")
            elif n == "x":
                m = re.match(r"[0-9a-fA-F]+", s[i:])
                out.append(chr(int(m.group(0), 16)))
                i += len(m.group(0))
            elif n == "u":
                out.append(chr(int(s[i:i + 4], 16)))
                i += 4
            else:
                out.append(n)
        else:
            out.append(c)
            i += 1
    return "".join(out)


def join_literals(text):
    return "".join(unescape(m) for m in re.findall(LIT, text))


def read_po(path):
    """msgid -> msgstr of a .po file (plural forms and contexts are not used by the suite)."""
    entries, cur, field = {}, {"msgid": None, "msgstr": None}, None

    def flush():
        if cur["msgid"] is not None and cur["msgid"] != "":
            entries[cur["msgid"]] = cur["msgstr"] or ""

    def unquote(s):
        return unescape(s.strip()[1:-1])

    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("msgid "):
                flush()
                cur = {"msgid": unquote(line[6:]), "msgstr": None}
                field = "msgid"
            elif line.startswith("msgstr "):
                cur["msgstr"] = unquote(line[7:])
                field = "msgstr"
            elif line.startswith('"') and field:
                cur[field] += unquote(line)
            elif not line.strip():
                field = None
    flush()
    return entries


def strip_comments(src):
    # Keep string literals, drop // and /* */ comments.
    out, i, n = [], 0, len(src)
    while i < n:
        if src.startswith("//", i):
            j = src.find("\n", i)
            i = n if j < 0 else j
        elif src.startswith("/*", i):
            j = src.find("*/", i + 2)
            i = n if j < 0 else j + 2
        elif src[i] == '"':
            j = i + 1
            while j < n and src[j] != '"':
                j += 2 if src[j] == "\\" else 1
            out.append(src[i:j + 1])
            i = j + 1
        elif src[i] == "'":
            j = i + 1
            while j < n and src[j] != "'":
                j += 2 if src[j] == "\\" else 1
            out.append(src[i:j + 1])
            i = j + 1
        else:
            out.append(src[i])
            i += 1
    return "".join(out)


def constants(src):
    return {m.group(1): unescape(m.group(2))
            for m in re.finditer(r'\b(k\w+)\s*(?:\[\])?\s*=\s*' + LIT, src)}


def domain_expr(expr, consts, form_domain=None):
    expr = expr.strip()
    if expr == "TextDomain":
        return form_domain
    m = re.fullmatch(LIT, expr)
    if m:
        return unescape(m.group(1))
    return consts.get(expr)


def lookups(src):
    """(kind, domain-or-None, text, line) of every literal text the unit translates."""
    consts = constants(src)
    found = []

    def line_of(pos):
        return src.count("\n", 0, pos) + 1

    wrappers = {}
    for m in re.finditer(r'std::wstring\s+(\w+)\s*\([^)]*\)\s*\{\s*return\s+DGetText\(\s*([^,]+),', src):
        d = domain_expr(m.group(2), consts)
        if d:
            wrappers[m.group(1)] = d
    form_domain = None
    m = re.search(r'\bTextDomain\s*=\s*([^;]+);', src)
    if m:
        form_domain = domain_expr(m.group(1), consts)

    for m in re.finditer(r'(?<![\w.>:])_\(' + LITS + r'\s*\)', src):
        found.append(("_", None, join_literals(m.group(1)), line_of(m.start())))
    for m in re.finditer(r'\bDGetText\(\s*([^,]+?)\s*,' + LITS + r'\s*\)', src):
        d = domain_expr(m.group(1), consts, form_domain)
        if d:
            found.append(("D", d, join_literals(m.group(2)), line_of(m.start())))
    for name, d in wrappers.items():
        for m in re.finditer(r'(?<![\w.>:])' + re.escape(name) + r'\(' + LITS + r'\s*\)', src):
            found.append(("D", d, join_literals(m.group(1)), line_of(m.start())))

    form_patterns = [
        r'\bSetCaption\(' + LITS + r'\s*\)',
        r'\.Hint\s*=' + LITS + r'\s*;',
        r'\bAddPage\(' + LITS + r'\s*\)',
        r'\.Create\(\s*\*this\s*,' + LITS + r'\s*,',
        r'\{\s*&\w+\s*,' + LITS + r'\s*\}',
    ]
    if re.search(r'\bFormCreate\b', src):
        for p in form_patterns:
            for m in re.finditer(p, src):
                text = join_literals(m.group(1))
                found.append(("F", form_domain, text, line_of(m.start())))
    # Column captions are shown as given: a literal there is never translated.
    for m in re.finditer(r'\bAddColumn\(' + LITS + r'\s*,', src):
        found.append(("raw", None, join_literals(m.group(1)), line_of(m.start())))
    return [f for f in found if f[2].strip() and re.search(r"[A-Za-z]", f[2])]


def programs_of_units(root):
    """unit path without extension (relative to src) -> programs whose code includes it."""
    includes = {}
    for dirpath, _, files in os.walk(root):
        for f in files:
            if f.endswith((".cpp", ".h")):
                path = os.path.join(dirpath, f)
                rel = os.path.relpath(path, root)
                with open(path, encoding="utf-8") as fh:
                    includes[rel] = re.findall(r'#include\s+"([^"]+)"', fh.read())
    users = {}
    for prog, (folder, _) in PROGRAMS.items():
        todo = [r for r in includes if r.startswith(folder + os.sep)]
        seen = set(todo)
        while todo:
            r = todo.pop()
            for inc in includes.get(r, []):
                for dep in (inc, os.path.splitext(inc)[0] + ".cpp"):
                    if dep in includes and dep not in seen:
                        seen.add(dep)
                        todo.append(dep)
        for r in seen:
            users.setdefault(os.path.splitext(r)[0], set()).add(prog)
    return users


def main():
    src_dir = sys.argv[1]
    lang = sys.argv[2] if len(sys.argv) > 2 else "de"
    locale = os.path.join(src_dir, "locale", lang)
    cats = {os.path.splitext(f)[0]: read_po(os.path.join(locale, f))
            for f in os.listdir(locale) if f.endswith(".po")}

    def has(domain, text):
        return bool(cats.get(domain, {}).get(text))

    missing = []
    root = os.path.join(src_dir, "src")
    users = programs_of_units(root)
    for dirpath, _, files in os.walk(root):
        for f in sorted(files):
            if not f.endswith(".cpp"):
                continue
            path = os.path.join(dirpath, f)
            rel = os.path.relpath(path, root)
            programs = sorted(users.get(os.path.splitext(rel)[0], ()))
            with open(path, encoding="utf-8") as fh:
                src = strip_comments(fh.read())
            for kind, domain, text, line in lookups(src):
                if kind == "raw":
                    missing.append((rel, line, "no translation call", text))
                    continue
                if kind in ("D",) or (kind == "F" and domain):
                    if not has(domain, text):
                        missing.append((rel, line, domain, text))
                    continue
                for prog in programs:
                    doms = [prog] + (PROGRAMS[prog][1] if kind == "_" else [])
                    if not any(has(d, text) for d in doms):
                        missing.append((rel, line, "/".join(doms), text))
    seen = set()
    for rel, line, dom, text in missing:
        key = (rel, dom, text)
        if key in seen:
            continue
        seen.add(key)
        where = dom if dom == "no translation call" else f"no {lang} entry in {dom}"
        print(f"src/{rel}:{line}: {where}: {text!r}")
    if missing:
        print(f"{len(seen)} texts without a {lang} translation", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Every command that vorn.lsp defines calls a method of the type library,
with as many arguments as the method takes; every method has a command.

    vorn_lsp_test.py VORN_LSP TYPE_LIBRARY_IDL"""
import re
import sys

LSP, IDL = sys.argv[1:3]


def methods(idl):
    """The methods of IKeltrav: name -> number of parameters."""
    body = re.search(r"interface\s+IKeltrav\s*:\s*IDispatch\s*\{(.*?)\}", idl, re.S).group(1)
    found = {}
    for name, params in re.findall(r"HRESULT\s+(\w+)\s*\(([^)]*)\)", body):
        params = params.strip()
        found[name] = 0 if params in ("", "void") else params.count(",") + 1
    return found


def forms(text):
    """The top-level forms of LISP text (comments and strings kept whole)."""
    result, depth, start, i = [], 0, None, 0
    while i < len(text):
        c = text[i]
        if c == ";":
            i = text.find("\n", i) if "\n" in text[i:] else len(text)
            continue
        if c == '"':
            end = i + 1
            while text[end] != '"':
                end += 2 if text[end] == "\\" else 1
            if depth == 0:
                result.append(text[i:end + 1])
            i = end + 1
            continue
        if c == "(":
            if depth == 0:
                start = i
            depth += 1
        elif c == ")":
            depth -= 1
            if depth == 0:
                result.append(text[start:i + 1])
        elif depth == 0 and not c.isspace():
            end = i
            while end < len(text) and not text[end].isspace() and text[end] not in "()":
                end += 1
            result.append(text[i:end])
            i = end
            continue
        i += 1
    return result


def commands(lsp):
    """Each c: command: the method it calls and its number of arguments."""
    found = {}
    for form in forms(lsp):
        head = forms(form[1:-1])
        if len(head) < 2 or head[0] != "defun" or not head[1].startswith("c:"):
            continue
        call = None
        for inner in head[3:]:
            parts = forms(inner[1:-1]) if inner.startswith("(") else []
            if parts and parts[0] == "vorn:call" and len(parts) == 3 and parts[1].startswith("'"):
                args = 0 if parts[2] == "nil" else len(forms(parts[2][1:-1])) - 1  # (list ...)
                call = (parts[1][1:], args)
        found[head[1][2:]] = call
    return found


def main():
    failures = []
    idl_methods = methods(open(IDL).read())
    lsp_commands = commands(open(LSP).read())
    by_name = {name.lower(): name for name in idl_methods}
    if "vlax-create-object '(\"vorn2017.Keltrav\")" not in open(LSP).read():
        failures.append("vorn.lsp does not create vorn2017.Keltrav")
    for command, call in lsp_commands.items():
        if call is None:
            failures.append(f"{command} calls no method of the server")
        elif call[0].lower() not in by_name:  # IDispatch finds names in any case, as LISP writes them
            failures.append(f"{command} calls {call[0]}, which the type library does not have")
        elif idl_methods[by_name[call[0].lower()]] != call[1]:
            failures.append(f"{command} calls {call[0]} with {call[1]} arguments; "
                            f"it takes {idl_methods[by_name[call[0].lower()]]}")
    called = {by_name.get(call[0].lower()) for call in lsp_commands.values() if call}
    for method in idl_methods:
        if method not in called:
            failures.append(f"no command calls {method}")
    for failure in failures:
        print("FAILED", failure)
    if not failures:
        print(f"ok     {', '.join(sorted(lsp_commands))} call {', '.join(sorted(called))}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

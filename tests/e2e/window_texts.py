#!/usr/bin/env python3
"""Prints, one a line, the texts that a Wine program put into its windows, read from its log
when it ran with WINEDEBUG=trace+win: the way to read a message box's text from outside.
Wine cuts long texts (they end in '...'); the beginning is enough to know a message.
  window_texts.py WINE_LOG
"""
import re
import sys

ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"'}


def decode(body):
    out, i = [], 0
    while i < len(body):
        c = body[i]
        if c == "\\" and i + 1 < len(body):
            nxt = body[i + 1]
            if nxt in ESCAPES:
                out.append(ESCAPES[nxt])
                i += 2
                continue
            m = re.match(r"[0-9a-fA-F]{4}", body[i + 1:i + 5])
            if m:
                out.append(chr(int(m.group(0), 16)))
                i += 5
                continue
        out.append(c)
        i += 1
    return "".join(out)


def main():
    with open(sys.argv[1], encoding="utf-8", errors="replace") as log:
        for line in log:
            m = re.search(r'trace:win:set_window_text L"(.*)"', line)
            if m:
                print(decode(m.group(1)).replace("\n", " "))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Prints the demo's test host report for a reader: each command and its
result, the texts of the drawing, and the pictures taken."""
import json
import sys


def main():
    report = json.load(open(sys.argv[1], encoding="utf-8"))
    print("Commands:")
    for c in report["commands"]:
        print(f"  {c['call']:<22} result {c['hr']}")
    print("\nThe drawing afterwards:")
    for e in report["drawing"]["entities"]:
        if "textString" in e:
            print(f"  {e['handle']:>3} {e.get('styleName', ''):<5} stored {json.dumps(e['textString'])}")
        for a in e.get("attributes", []):
            print(f"  {a['handle']:>3} {a.get('styleName', ''):<5} stored {json.dumps(a['textString'])}"
                  f" (attribute {a['tag']} of block {e['name']})")
    print("\nWhat the editors showed:")
    for w in report["windows"]:
        if w["event"] != "read":
            continue
        print(f"  {w['caption']}")
        if w["caption"].startswith("Dravik"):
            edit = next((c["text"] for c in w["controls"] if c["id"] == 101), "")
            kind = next((c["text"] for c in w["controls"] if c["id"] == 102), "")
            print(f"    text: {edit}\n    font type: {kind}")
        for c in w["controls"]:
            for row in c.get("rows", []):
                print(f"    row: {' | '.join(row) if isinstance(row, list) else row}")
    failed = [w["event"] for w in report["windows"] if w["event"].startswith("failed")]
    for f in failed:
        print(f"  {f}")
    return 1 if failed or any(c["hr"] != "0x00000000" for c in report["commands"]) else 0


if __name__ == "__main__":
    sys.exit(main())

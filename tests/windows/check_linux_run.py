#!/usr/bin/env python3
"""Checks one `tarvik script` run against the expectations written in its steps.

usage: check_linux_run.py STEPS.jsonl OUTPUT.jsonl EVENTS_OUT

A step may carry "expect" (the reply's value, e.g. -1 for True) or
"expect_error" (the error number, or "any"). The driver ignores both fields.
The boxes the run showed (msgbox and inputbox events) are written to
EVENTS_OUT, one sorted-key JSON line each, so that they can be compared with
the log the Windows run leaves in TARVIK_UI_LOG. Prints failures and the
line "N passed, N failed"; exits 1 when anything failed.
"""
import json
import sys

BOX_EVENTS = ("msgbox", "inputbox")


def load_lines(path):
    with open(path, encoding="utf-8") as f:
        return [line for line in f.read().splitlines() if line.strip()]


def check(step, reply):
    """Returns None when the reply is what the step expects, else a reason."""
    if "expect_error" in step:
        if reply.get("ok") is not False:
            return "expected an error, got %s" % json.dumps(reply)
        wanted = step["expect_error"]
        if wanted != "any" and reply["error"].get("number") != wanted:
            return "expected error %s, got %s" % (wanted, json.dumps(reply["error"]))
        return None
    if reply.get("ok") is not True:
        return "failed: %s" % json.dumps(reply)
    if "expect" in step and reply.get("value") != step["expect"]:
        return "expected %s, got %s" % (json.dumps(step["expect"]), json.dumps(reply.get("value")))
    return None


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    steps = [json.loads(line) for line in load_lines(sys.argv[1])]
    replies, events = [], []
    for line in load_lines(sys.argv[2]):
        item = json.loads(line)
        if item.get("event") in BOX_EVENTS:
            events.append(item)
        elif "event" not in item:
            replies.append(item)
    with open(sys.argv[3], "w", encoding="utf-8") as f:
        for event in events:
            f.write(json.dumps(event, sort_keys=True, ensure_ascii=False) + "\n")

    passed = failed = 0
    if len(replies) != len(steps):
        print("FAIL %d steps but %d replies" % (len(steps), len(replies)))
        failed += 1
    for number, (step, reply) in enumerate(zip(steps, replies), start=1):
        reason = check(step, reply)
        if reason is None:
            passed += 1
        else:
            failed += 1
            print("FAIL step %d (%s %s): %s" % (number, step.get("op"), step.get("member", ""), reason))
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Reads one stored message as a modern reader does (Python's email with policy.default) and
prints, as JSON: subject, from (display name and address), to and cc (a list of [name, address]
each), the text part decoded, its charset and transfer encoding, the header defects, the longest
header line and whether any byte of the message is above 0x7F. Independent of the program's own
code.
"""
import email
import email.policy
import json
import sys


def mailboxes(header):
    return [[a.display_name, a.addr_spec] for a in header.addresses] if header else []


def main():
    with open(sys.argv[1], "rb") as f:
        raw = f.read()
    message = email.message_from_bytes(raw, policy=email.policy.default)
    head = raw.split(b"\r\n\r\n", 1)[0]
    sender = mailboxes(message["From"])
    body = message.get_body(preferencelist=("plain",))
    result = {
        "subject": str(message.get("Subject", "")),
        "from": sender[0] if sender else ["", ""],
        "to": mailboxes(message["To"]),
        "cc": mailboxes(message["CC"]),
        "x_mailer": str(message.get("X-Mailer", "")),
        "text": body.get_content() if body is not None else None,
        "charset": body.get_content_charset() if body is not None else None,
        "transfer_encoding": str(message.get("Content-Transfer-Encoding", "")),
        "defects": [type(d).__name__ for name in message.keys()
                    for d in message[name].defects] +
                   [type(d).__name__ for d in message.defects],
        "longest_header_line": max(len(line) for line in head.split(b"\r\n")),
        "eight_bit": any(b > 0x7F for b in raw),
    }
    json.dump(result, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Reads one stored message with Python's email package and prints, as JSON, what a receiving
program would see: decoded subject, sender name and address, X-Mailer, To, CC, Date (and whether
it parses), Message-ID, the decoded body, the parser's defects and any header byte above 0x7F.
"""
import email
import email.header
import email.policy
import email.utils
import json
import sys


def decoded(raw):
    return str(email.header.make_header(email.header.decode_header(raw)))


def main():
    with open(sys.argv[1], "rb") as f:
        raw = f.read()
    head = raw.split(b"\r\n\r\n", 1)[0]
    message = email.message_from_bytes(raw, policy=email.policy.compat32)
    name, _, address = message.get("From", "").partition("<")
    date = message.get("Date", "")
    try:
        stamp = email.utils.parsedate_to_datetime(date).timestamp() if date else None
    except (TypeError, ValueError):
        stamp = None
    body = message.get_payload(decode=True).decode(message.get_content_charset() or "ascii")
    result = {
        "subject": decoded(message.get("Subject", "")),
        "from_name": decoded(name),
        "from_address": address.rstrip(">"),
        "x_mailer": decoded(message.get("X-Mailer", "")),
        "to": message.get("To", ""),
        "cc": message.get("CC", ""),
        "date": date,
        "date_stamp": stamp,
        "message_id": message.get("Message-ID", ""),
        "content_type": message.get_content_type(),
        "charset": message.get_content_charset(),
        "body": body.replace("\r\n", "\n"),
        "defects": [type(d).__name__ for d in message.defects],
        "eight_bit_header": any(b > 0x7F for b in head),
    }
    json.dump(result, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()

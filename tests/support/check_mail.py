#!/usr/bin/python3
"""Reads one stored message with Python's email package and prints what it decodes to, as JSON:
subject, from_name, from_address, x_mailer, to, cc, date (and date_stamp when it parses),
message_id, content_type, charset, text (the decoded text part), text_type, the attachments with
their file names and bytes (base64), the parser's defects and whether any header byte is above
0x7F. "reader" holds what a strict reader (policy email.policy.default) makes of the header:
subject, x_mailer, from/to/cc as [display name, address] pairs, its header defects, and the
length of the longest encoded-word. Independent of the program's own code.
"""
import base64
import email
import email.header
import email.policy
import email.utils
import json
import re
import sys


def decoded(raw):
    """A header value with its encoded-words decoded."""
    return str(email.header.make_header(email.header.decode_header(raw)))


def sender(message):
    # The display name sits before "<", with or without a blank.
    raw = message.get("From", "")
    name, _, rest = raw.partition("<")
    return decoded(name).strip(), rest.rstrip(">")


def reader(raw, head):
    """What policy.default (RFC 5322 and RFC 2047, strictly) reads from the header."""
    message = email.message_from_bytes(raw, policy=email.policy.default)

    def addresses(name):
        header = message[name]
        return [[a.display_name, a.addr_spec] for a in header.addresses] if header else []

    words = re.findall(rb"=\?[^?\s]+\?[BbQq]\?[^?\s]*\?=", head)
    return {
        "subject": str(message["Subject"] or ""),
        "x_mailer": str(message["X-Mailer"] or ""),
        "from": addresses("From"),
        "to": addresses("To"),
        "cc": addresses("CC"),
        "defects": [type(d).__name__ for name in message.keys() for d in message[name].defects],
        "longest_word": max((len(w) for w in words), default=0),
    }


def date_stamp(date):
    """Seconds since the epoch of a Date value, or None when it does not parse."""
    try:
        return email.utils.parsedate_to_datetime(date).timestamp() if date else None
    except (TypeError, ValueError):
        return None


def main():
    with open(sys.argv[1], "rb") as f:
        raw = f.read()
    message = email.message_from_bytes(raw, policy=email.policy.compat32)
    head = raw.split(b"\r\n\r\n", 1)[0]
    name, address = sender(message)
    date = message.get("Date", "")
    result = {
        "subject": decoded(message.get("Subject", "")),
        "from_name": name,
        "from_address": address,
        "x_mailer": decoded(message.get("X-Mailer", "")),
        "to": message.get("To", ""),
        "cc": message.get("CC", ""),
        "date": date,
        "date_stamp": date_stamp(date),
        "message_id": message.get("Message-ID", ""),
        "content_type": message.get_content_type(),
        "charset": message.get_content_charset(),
        "eight_bit_header": any(b > 0x7F for b in head),
        "multipart": message.is_multipart(),
        "defects": [type(d).__name__ for part in message.walk() for d in part.defects],
        "attachments": [],
        "reader": reader(raw, head),
    }
    for part in message.walk():
        if part.is_multipart():
            continue
        if part.get_filename() is None:
            charset = part.get_content_charset() or "us-ascii"
            result["text"] = part.get_payload(decode=True).decode(charset)
            result["text_type"] = part.get_content_type()
        else:
            result["attachments"].append({
                "filename": part.get_filename(),
                "data": base64.b64encode(part.get_payload(decode=True)).decode("ascii"),
            })
    json.dump(result, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Reads one stored message with Python's email package and prints what it decodes to, as JSON:
subject, from_name, from_address, to, cc, text (the decoded text part), text_type, and the
attachments with their file names and bytes (base64). Independent of the program's own code.
"""
import base64
import email
import email.header
import email.policy
import json
import sys


def decoded(raw):
    """A header value with its encoded-words decoded."""
    return str(email.header.make_header(email.header.decode_header(raw)))


def sender(message):
    # The display name sits directly before "<", without the blank the parser would want.
    raw = message.get("From", "")
    name, _, rest = raw.partition("<")
    return decoded(name), rest.rstrip(">")


def main():
    with open(sys.argv[1], "rb") as f:
        message = email.message_from_binary_file(f, policy=email.policy.compat32)
    name, address = sender(message)
    result = {
        "subject": decoded(message.get("Subject", "")),
        "from_name": name,
        "from_address": address,
        "to": message.get("To", ""),
        "cc": message.get("CC", ""),
        "multipart": message.is_multipart(),
        "defects": [type(d).__name__ for part in message.walk() for d in part.defects],
        "attachments": [],
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

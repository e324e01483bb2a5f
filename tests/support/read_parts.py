#!/usr/bin/python3
"""Reads stored messages with Python's email package, once with policy.compat32 and once with
policy.default, and prints for each message, as JSON: under "compat32" and "default" the list of
its leaf parts in order, each with its media type, charset, transfer encoding, the file name
(get_filename) and the name= parameter as that policy decodes them, and its bytes (base64), the
text of a text part decoded; "longest_line" and "eight_bit" over the whole message. Independent
of the program's own code.
"""
import base64
import email
import email.header
import email.policy
import json
import sys


def decoded_name(part, policy):
    name = part.get_param("name")
    if name is None:
        return None
    if isinstance(name, tuple):  # an RFC 2231 value
        return email.utils.collapse_rfc2231_value(name)
    if policy is email.policy.compat32:
        return str(email.header.make_header(email.header.decode_header(name)))
    return str(name)


def parts(raw, policy):
    message = email.message_from_bytes(raw, policy=policy)
    result = []
    for part in message.walk():
        if part.is_multipart():
            continue
        data = part.get_payload(decode=True)
        entry = {
            "type": part.get_content_type(),
            "charset": part.get_content_charset(),
            "encoding": part.get("Content-Transfer-Encoding"),
            "filename": part.get_filename(),
            "name": decoded_name(part, policy),
            "data": base64.b64encode(data).decode("ascii"),
            "defects": [type(d).__name__ for d in part.defects],
        }
        if part.get_filename() is None and part.get_content_maintype() == "text":
            entry["text"] = data.decode(part.get_content_charset() or "us-ascii")
        result.append(entry)
    return result


def main():
    out = []
    for path in sys.argv[1:]:
        with open(path, "rb") as f:
            raw = f.read()
        out.append({
            "compat32": parts(raw, email.policy.compat32),
            "default": parts(raw, email.policy.default),
            "longest_line": max(len(line) for line in raw.split(b"\r\n")),
            "eight_bit": any(b > 0x7F for b in raw),
        })
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()

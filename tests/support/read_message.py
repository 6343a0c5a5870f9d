#!/usr/bin/python3
"""Reads a message as Python's email package does (policy=email.policy.default)
and describes it in JSON: the top-level headers decoded, the From and To
addresses, the Date in ISO 8601, every defect found, and the MIME tree with
each part's content type, charset, file name, disposition, transfer encoding,
decoded payload (base64) and, for text parts, the text with LF line ends.

The tests read the messages they build with it (bytes on standard input, JSON
on standard output), and the SMTP test server reads every message it takes.
"""

import base64
import email
import email.policy
import json
import sys


def describe_part(part, defects):
    defects += [type(d).__name__ for d in part.defects]
    info = {
        "content_type": part.get_content_type(),
        "charset": part.get_content_charset() or "",
        "filename": part.get_filename() or "",
        "disposition": part.get_content_disposition() or "",
        "transfer_encoding": str(part.get("Content-Transfer-Encoding", "")),
    }
    if part.is_multipart():
        info["parts"] = [describe_part(p, defects) for p in part.get_payload()]
    else:
        info["payload_b64"] = base64.b64encode(part.get_payload(decode=True) or b"").decode("ascii")
        if part.get_content_maintype() == "text":
            try:
                info["text"] = part.get_content().replace("\r\n", "\n")
            except (LookupError, UnicodeError) as error:
                info["text_error"] = str(error)
    return info


def addresses(message, name):
    value = message.get(name)
    if value is None:
        return []
    return [{"name": a.display_name, "addr": a.addr_spec} for a in value.addresses]


def parse_message(raw):
    message = email.message_from_bytes(raw, policy=email.policy.default)
    headers = []
    for name, value in message.items():
        try:
            headers.append([name, str(value)])
        except Exception as error:  # a header the parser cannot decode
            headers.append([name, "<undecodable: %s>" % error])
    date = message.get("Date")
    defects = []
    structure = describe_part(message, defects)
    return {
        "headers": headers,
        "from": addresses(message, "From"),
        "to": addresses(message, "To"),
        "subject": str(message.get("Subject", "")),
        "date": date.datetime.isoformat() if date is not None and date.datetime is not None else "",
        "defects": defects,
        "structure": structure,
    }


if __name__ == "__main__":
    json.dump(parse_message(sys.stdin.buffer.read()), sys.stdout)

#!/usr/bin/python3
"""A local SMTP sink for tests and benchmarks.

Listens on 127.0.0.1 (a free port unless --port is given), prints "PORT <n>" on stdout once it
accepts connections, and stores every accepted message in DIR as NNNN.eml (the message bytes as
received, after the server removed the dot-stuffing) with NNNN.env beside it (MAIL FROM on the
first line, then one RCPT TO address per line). Runs until stdin closes or it is terminated.
"""
import argparse
import asyncio
import itertools
import os
import signal
import sys

from aiosmtpd.smtp import SMTP


class StoreHandler:
    def __init__(self, directory):
        self.directory = directory
        self.counter = itertools.count(1)

    async def handle_DATA(self, server, session, envelope):
        stem = os.path.join(self.directory, "%04d" % next(self.counter))
        with open(stem + ".env.tmp", "w", encoding="utf-8", errors="surrogateescape") as env:
            env.write(envelope.mail_from + "\n")
            for rcpt in envelope.rcpt_tos:
                env.write(rcpt + "\n")
        with open(stem + ".eml.tmp", "wb") as eml:
            eml.write(envelope.original_content)
        # The .eml appears last and whole: readers poll for it.
        os.replace(stem + ".env.tmp", stem + ".env")
        os.replace(stem + ".eml.tmp", stem + ".eml")
        return "250 Message accepted for delivery"


async def serve(directory, port):
    loop = asyncio.get_running_loop()
    handler = StoreHandler(directory)
    server = await loop.create_server(
        lambda: SMTP(handler, data_size_limit=None, hostname="localhost"),
        host="127.0.0.1",
        port=port,
    )
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    loop.add_reader(sys.stdin.fileno(), lambda: stop.set() if not os.read(0, 4096) else None)
    await stop.wait()
    server.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("directory")
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    os.makedirs(args.directory, exist_ok=True)
    asyncio.run(serve(args.directory, args.port))


if __name__ == "__main__":
    main()

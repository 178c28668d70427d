#!/usr/bin/env python3
"""An HTTP proxy in front of a calendar server that holds one chosen request, for tests that kill a sync
at exactly that point.

    stop_proxy.py UPSTREAM        e.g. http://127.0.0.1:5232

Prints the port it listens on (127.0.0.1), then reads commands, one a line, from standard input:

    hold N before   the Nth write (PUT, DELETE, MKCALENDAR, PROPPATCH) from now is held before it
                    reaches the server
    hold N after    ... held once the server has answered it, the answer not passed on
    hold N before REPORT,PROPFIND
                    the Nth of those requests instead (a sync keeps what it did with a collection
                    before it asks for the next one, so a kill at a read is a point of its own)
    count           prints how many of them came since the last hold (or the start)

A held request prints "held" and is never answered: the test kills the client then. Every other request
goes through as it is, one upstream connection each.
"""

import http.client
import http.server
import sys
import threading
import urllib.parse

WRITES = {"PUT", "DELETE", "MKCALENDAR", "PROPPATCH"}
HOP_BY_HOP = {"connection", "keep-alive", "transfer-encoding", "content-length", "host", "proxy-connection"}

lock = threading.Lock()
state = {"count": 0, "hold": None, "mode": "before", "methods": WRITES}
upstream = urllib.parse.urlsplit(sys.argv[1])


def say(line):
    with lock:
        sys.stdout.write(line + "\n")
        sys.stdout.flush()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def __getattr__(self, name):
        if name.startswith("do_"):
            return self.forward
        raise AttributeError(name)

    def forward(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        held, mode = False, None
        with lock:
            if self.command in state["methods"]:
                state["count"] += 1
                held = state["hold"] == state["count"]
                mode = state["mode"]
        if held and mode == "before":
            self.hold()
            return
        conn = http.client.HTTPConnection(upstream.hostname, upstream.port, timeout=60)
        headers = {k: v for k, v in self.headers.items() if k.lower() not in HOP_BY_HOP}
        headers["Content-Length"] = str(len(body))
        conn.request(self.command, self.path, body=body, headers=headers)
        answer = conn.getresponse()
        data = answer.read()
        conn.close()
        if held:
            self.hold()
            return
        self.send_response_only(answer.status, answer.reason)
        for k, v in answer.getheaders():
            if k.lower() not in HOP_BY_HOP:
                self.send_header(k, v)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def hold(self):
        say("held")
        # Until the client is gone: its end of the connection closes when it is killed.
        self.close_connection = True
        try:
            while self.rfile.read(1):
                pass
        except OSError:
            pass


def commands():
    for line in sys.stdin:
        words = line.split()
        if not words:
            continue
        if words[0] == "hold":
            with lock:
                methods = set(words[3].split(",")) if len(words) > 3 else WRITES
                state.update(count=0, hold=int(words[1]), mode=words[2], methods=methods)
        elif words[0] == "count":
            with lock:
                n = state["count"]
            say(str(n))


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
say(str(server.server_address[1]))
threading.Thread(target=server.serve_forever, daemon=True).start()
commands()

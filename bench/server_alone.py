#!/usr/bin/env python3
"""What the server alone takes for a list of requests: sent in order over one keep-alive connection, as
the sync sends them, timed from the first byte out to the last byte in.

    server_alone.py BASE_URL USER PASSWORD REQUESTS.json

REQUESTS.json is a list of {"method", "path", "headers": {...}, "body": file or null}. Prints the time in
ms and how many answers had each status, as one JSON object.
"""
import base64
import http.client
import json
import sys
import time
import urllib.parse


def main():
    base, user, password, listing = sys.argv[1:5]
    url = urllib.parse.urlsplit(base)
    with open(listing, encoding="utf-8") as f:
        requests = json.load(f)
    bodies = []
    for r in requests:
        if r.get("body"):
            with open(r["body"], "rb") as b:
                bodies.append(b.read())
        else:
            bodies.append(None)
    auth = "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()
    connection = http.client.HTTPConnection(url.hostname, url.port)
    statuses = {}
    started = time.perf_counter()
    for r, body in zip(requests, bodies):
        headers = {"Authorization": auth, **r.get("headers", {})}
        connection.request(r["method"], r["path"], body=body, headers=headers)
        answer = connection.getresponse()
        answer.read()
        statuses[str(answer.status)] = statuses.get(str(answer.status), 0) + 1
    ms = (time.perf_counter() - started) * 1000
    print(json.dumps({"ms": round(ms, 1), "statuses": statuses}))


if __name__ == "__main__":
    main()

# Plays a phone on the same account with python3-caldav.
#   phone.py URL USER PASSWORD list                 every to-do of every calendar, one JSON line each
#   phone.py URL USER PASSWORD add CALENDAR TITLE CHILD   a to-do and a subtask in the calendar of that name
#   phone.py URL USER PASSWORD set UID FIELD VALUE  a property of the to-do with that UID (SUMMARY, STATUS…)
import json
import sys
import uuid

import caldav

url, user, password, command = sys.argv[1:5]
client = caldav.DAVClient(url, username=user, password=password)
principal = client.principal()


def todos():
    for calendar in principal.calendars():
        for todo in calendar.todos(include_completed=True):
            yield calendar, todo


if command == "list":
    for calendar, todo in todos():
        c = todo.icalendar_component
        related = c.get("RELATED-TO")
        print(json.dumps({"calendar": str(calendar.name), "uid": str(c["UID"]), "summary": str(c.get("SUMMARY", "")),
                          "status": str(c.get("STATUS", "")), "parent": str(related) if related else "",
                          "description": str(c.get("DESCRIPTION", ""))}))
elif command == "add":
    name, title, child = sys.argv[5:8]
    calendar = next(c for c in principal.calendars() if c.name == name)
    parent = "phone-" + uuid.uuid4().hex
    stamp = "DTSTAMP:20261209T170000Z"
    calendar.save_todo("\r\n".join(["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//phone//EN", "BEGIN:VTODO",
                                    "UID:" + parent, stamp, "SUMMARY:" + title, "END:VTODO", "END:VCALENDAR", ""]))
    calendar.save_todo("\r\n".join(["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//phone//EN", "BEGIN:VTODO",
                                    "UID:" + parent + "-child", stamp, "SUMMARY:" + child,
                                    "RELATED-TO;RELTYPE=PARENT:" + parent, "END:VTODO", "END:VCALENDAR", ""]))
    print(parent)
elif command == "set":
    uid, field, value = sys.argv[5:8]
    for calendar, todo in todos():
        c = todo.icalendar_component
        if str(c["UID"]) == uid:
            if field in c:
                del c[field]
            if field == "STATUS" and value == "NEEDS-ACTION":
                for done in ("COMPLETED", "PERCENT-COMPLETE"):
                    if done in c:
                        del c[done]
            c.add(field, value)
            if "LAST-MODIFIED" in c:
                del c["LAST-MODIFIED"]
            c.add("LAST-MODIFIED", __import__("datetime").datetime.now(__import__("datetime").timezone.utc))
            todo.save()
            break
    else:
        sys.exit("no to-do " + uid)

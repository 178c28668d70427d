# Plays a phone on the same account: python3-caldav adds a to-do with a subtask, then lists what it
# sees. Usage: phone.py COLLECTION_URL USER PASSWORD
import sys

import caldav

url, user, password = sys.argv[1:4]
client = caldav.DAVClient(url, username=user, password=password)
calendar = caldav.Calendar(client=client, url=url)

STAMP = "DTSTAMP:20261209T170000Z"
calendar.save_todo("\r\n".join([
    "BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//phone//EN",
    "BEGIN:VTODO", "UID:phone-parent", STAMP, "SUMMARY:Pack for the trip", "END:VTODO",
    "END:VCALENDAR", ""]))
calendar.save_todo("\r\n".join([
    "BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//phone//EN",
    "BEGIN:VTODO", "UID:phone-child", STAMP, "SUMMARY:Find the passport",
    "RELATED-TO;RELTYPE=PARENT:phone-parent", "END:VTODO",
    "END:VCALENDAR", ""]))

for todo in calendar.todos(include_completed=True):
    print("seen", todo.icalendar_component["UID"])

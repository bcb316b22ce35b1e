#!/usr/bin/env python3
"""A log as the CSV that `velmar-log make` reads: SESSIONS sessions one after
another on COM1 (a connect, a disconnect 30 s later), each leaving two
breakpoints in busy's profile, then REBUILT disconnects, a minute apart, each on
a port of its own that never had a session (so that nothing before it
bounds its start), each reporting MINUTES minutes connected.
With MINUTES large their rebuilt starts reach back past every breakpoint
the profile keeps; with 0 they start where they end, the same records
without a rebuilt start.

    rebuilt_csv.py SESSIONS REBUILT MINUTES > log.csv
"""
import datetime
import sys


def main():
    sessions, rebuilt, minutes = (int(a) for a in sys.argv[1:4])
    start = datetime.datetime(2026, 10, 1, tzinfo=datetime.timezone.utc)
    out = sys.stdout
    out.write("number,generated,written,event_id,type,category,source,computer,strings\n")
    number = 0

    def row(seconds, event, strings):
        nonlocal number
        number += 1
        t = (start + datetime.timedelta(seconds=seconds)).strftime("%Y-%m-%dT%H:%M:%SZ")
        out.write(f"{number},{t},{t},{event},4,0,RemoteAccess,RAS1,{strings}\n")

    for i in range(sessions):
        row(60 * i, 20017, f"DIALUP,u{i % 50},COM1")
        row(60 * i + 30, 20050, f"DIALUP,u{i % 50},COM1,a,b,c,d,0,30")
    base = 60 * sessions
    for i in range(rebuilt):
        row(base + 60 * i, 20050, f"DIALUP,r{i % 50},P{i},a,b,c,d,{minutes},0")


main()

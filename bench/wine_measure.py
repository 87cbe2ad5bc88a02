"""What the benchmarks of the program under Wine measure: the CPU seconds of a Linux process (user
and system, from /proc), its peak resident memory, the wineserver of the session, pages for a
scripted server, and a registry file of numbered sites. Imported with tests/wine on the path, as
the measuring scripts put it there."""

import os

import rig

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """User and system CPU seconds of a process so far: the time its threads have run, to the
    nanosecond where the kernel keeps it (schedstat), else in clock ticks (user and system time,
    which also count threads that have ended)."""
    try:
        total = 0
        for task in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                total += int(f.read().split()[0])
        return total / 1e9
    except (OSError, ValueError, IndexError):
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS  # utime, stime


def peak_rss_mb(pid):
    """The peak resident memory of a process so far (VmHWM), in MB."""
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def wineserver_pid():
    """The wineserver of this session (scripts/wine-env.sh started it), or None."""
    pid = os.environ.get("SW_WINESERVER_PID")
    if pid and os.path.exists("/proc/%s" % pid):
        return int(pid)
    prefix = os.environ.get("WINEPREFIX", "")
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            name = os.path.basename(os.readlink("/proc/%s/exe" % entry))
            with open("/proc/%s/environ" % entry, "rb") as f:
                env = f.read().split(b"\0")
        except OSError:
            continue
        if name.startswith("wineserver") and ("WINEPREFIX=" + prefix).encode() in env:
            return int(entry)
    return None


def page(n, size):
    """Page n: markup and Japanese text, about size bytes."""
    head = ("<html><head><meta charset=\"Shift_JIS\"><title>ページ %d</title></head><body>\n" % n)
    parts = [head]
    total = len(head.encode("cp932"))
    item = 0
    while total < size:
        line = ("<div class=\"item\"><a href=\"/items/%d/%d\">商品 %d の説明</a> "
                "<span>価格 %d 円</span></div>\n" % (n, item, item, 100 + item))
        parts.append(line)
        total += len(line.encode("cp932"))
        item += 1
    parts.append("</body></html>\n")
    return "".join(parts).encode("cp932")


def registry(sites, extra=lambda n: []):
    """Registry file bytes: sites [(name, url, code)], each entry n followed by extra(n) lines."""
    return rig.registry_file(len(sites), *[rig.entry_lines(n, name, url, code) + extra(n)
                                           for n, (name, url, code) in enumerate(sites, start=1)])

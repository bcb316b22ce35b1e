# The outputs shown under "Answering questions" in the README: each
# "    $ COMMAND" line is run in DIR (argument 2), in order, and the indented
# block after it (up to the next command) must be its output, whole; a
# command followed by another shows none. With --fix the README gets the
# real outputs.
import subprocess, sys
readme, workdir = sys.argv[1], sys.argv[2]
fix = "--fix" in sys.argv
lines = open(readme).read().split("\n")
start = lines.index("## Answering questions")
end = next(i for i in range(start + 1, len(lines)) if lines[i].startswith("## "))
out, i, bad = lines[:start], start, 0
while i < end:
    line = lines[i]
    out.append(line)
    i += 1
    if not line.startswith("    $ "):
        continue
    j = i
    while j < end and (lines[j].startswith("    ") or lines[j] == "") and \
            not lines[j].startswith("    $ "):
        j += 1
    while j > i and lines[j - 1] == "":
        j -= 1
    shown = [l[4:] for l in lines[i:j]]
    got = subprocess.run(line[6:], shell=True, cwd=workdir, capture_output=True, text=True)
    want = got.stdout.rstrip("\n").split("\n") if got.stdout else []
    if got.returncode != 0 or got.stderr or shown != want:
        bad += 1
        print("README differs for: " + line[6:])
        for a, b in zip(shown + [""] * len(want), want + [""] * len(shown)):
            if a != b:
                print("  shown: " + a + "\n  got:   " + b)
                break
    out.extend("    " + l if l else "" for l in want)
    i = j
out.extend(lines[end:])
if fix:
    open(readme, "w").write("\n".join(out))
sys.exit(1 if bad and not fix else 0)

#!/usr/bin/env python3
"""Where a run's window time goes, by kind, from `tapwire_bench --profile DIR`.

    perf script -i DIR/noline-64.data --comm tapwire_bench -F ip,sym | bench/profile-kinds.py

Each sample counts for the kind of the frame nearest its leaf that names one;
a sample taken inside a page fault is counted again in the faults column.
"""
import re
import sys

KINDS = [
    ("wrapping rows", r"RowLayout::(update|layOutMore|relayout|wrap)"),
    ("making memory resident", r"makeResident|madvise"),
    ("origins", r"OriginSpans::"),
    ("store append", r"TextStore::|WireDocument::append"),
    ("TLS decryption", r"ssl3_read|SSL_read|EVP_|aesni|gcm|chacha|QTlsPrivate|QSslSocketPrivate::transmit"),
    ("Qt buffer to QByteArray", r"QRingBuffer::read|QIODevicePrivate::read"),
    ("socket read (kernel copy)", r"tcp_recvmsg|sock_read_iter|ksys_read|__libc_read|\bread\b"),
    ("freeing (munmap, free)", r"munmap|\bfree\b|_int_free"),
    ("allocation (malloc)", r"malloc|sysmalloc|\bmmap"),
    ("paint", r"paintEvent|QWidgetRepaintManager|QBackingStore|RowPainter"),
    ("event loop and the rest", r"."),
]
PATTERNS = [(name, re.compile(p)) for name, p in KINDS]


def kind_of(frames):
    for frame in frames:
        for name, pattern in PATTERNS[:-1]:
            if pattern.search(frame):
                return name
    return KINDS[-1][0]


def samples(lines):
    frames = []
    for line in lines:
        line = line.strip()
        if not line:
            if frames:
                yield frames
            frames = []
            continue
        parts = line.split(None, 1)
        if len(parts) == 2 and re.fullmatch(r"[0-9a-f]+", parts[0]):
            frames.append(parts[1])
    if frames:
        yield frames


def main():
    counts = {name: [0, 0] for name, _ in KINDS}
    total = 0
    for frames in samples(sys.stdin):
        count = counts[kind_of(frames)]
        count[0] += 1
        if any("exc_page_fault" in f for f in frames):
            count[1] += 1
        total += 1
    print("| kind | share of samples | of which page faults |")
    print("|---|---|---|")
    for name, (n, faults) in sorted(counts.items(), key=lambda item: -item[1][0]):
        if n:
            print(f"| {name} | {100 * n / total:.1f}% | {100 * faults / total:.1f}% |")
    print(f"| (samples) | {total} | |")


main()

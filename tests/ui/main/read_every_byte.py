# A screen reader's side of screen_reader_bus.sh: finds the transcript of
# ReaderBox on the accessibility bus and checks that it reads every
# character: its count, its whole text (each control character its control
# picture, a NUL too) and its lines, a row as shown (a lone CR ends one);
# and that the peer's imitation of a status line and the real one are told
# apart by their text attributes. Qt's bridge forwards only the attributes
# it knows, so the origin's own name stays on this side of the bus; the
# status line's tint, its background colour, crosses.
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

PEER = "one\r\ntwo\rthree\nfour\u2400\u2407\u241b[0m\tfive\u00e9\u20ac end\r\nCLOSED.\r\n"
STATUS = "CLOSED.\r\n"
SENT = PEER + STATUS


def find_text(node):
    if node is None:
        return None
    if node.get_role() == Atspi.Role.TEXT and node.get_name() == "Data Received":
        return node
    for i in range(node.get_child_count()):
        found = find_text(node.get_child_at_index(i))
        if found is not None:
            return found
    return None


def transcript():
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            box = find_text(desktop.get_child_at_index(i))
            if box is not None:
                return box
        time.sleep(0.2)
    return None


def main():
    box = transcript()
    if box is None:
        print("the transcript never appeared on the accessibility bus")
        return 1
    failures = []

    def expect(what, actual, wanted):
        if actual != wanted:
            failures.append("%s: %r, not %r" % (what, actual, wanted))

    expect("characterCount", Atspi.Text.get_character_count(box), len(SENT))
    expect("getText(0, -1)", Atspi.Text.get_text(box, 0, -1), SENT)
    # Qt's bridge answers the older of the two line calls.
    warnings.simplefilter("ignore", DeprecationWarning)

    def line_at(offset):
        return Atspi.Text.get_text_at_offset(box, offset, Atspi.TextBoundaryType.LINE_START).content

    expect("the line at 6", line_at(6), "two\r")
    five = SENT.index("five")
    expect("the line at %d" % five, line_at(five), SENT[SENT.index("four"):SENT.index("CLOSED")])

    def background_run(offset):
        attributes, start, end = Atspi.Text.get_attribute_run(box, offset, False)
        return attributes.get("bg-color"), start, end

    forged, start, end = background_run(PEER.index("CLOSED"))
    expect("the forged line's run", (start, end), (0, len(PEER)))
    status, start, end = background_run(len(PEER))
    expect("the status line's run", (start, end), (len(PEER), len(SENT)))
    if forged is None or forged == status:
        failures.append("the forged line's background %r, the status line's %r" % (forged, status))
    for failure in failures:
        print(failure)
    return 1 if failures else 0


sys.exit(main())

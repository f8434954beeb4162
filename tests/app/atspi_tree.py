# Prints the accessible tree of one running application as a screen reader reads it over AT-SPI, one node a
# line: depth, role, name, and "showing" when the node and all its ancestors are shown, "focusable".
# Usage: atspi_tree.py APPLICATION-NAME. Exits with 1 while the application is not on the bus yet.
import sys

import pyatspi


def walk(node, depth, parent_showing):
    states = node.getState()
    showing = parent_showing and states.contains(pyatspi.STATE_SHOWING)
    flags = []
    if showing:
        flags.append("showing")
    if states.contains(pyatspi.STATE_FOCUSABLE):
        flags.append("focusable")
    name = (node.name or "").replace("\t", " ").replace("\n", " ")
    print("%d\t%s\t%s\t%s" % (depth, node.getRoleName(), name, ",".join(flags)))
    for child in node:
        if child is not None:
            walk(child, depth + 1, showing)


desktop = pyatspi.Registry.getDesktop(0)
for application in desktop:
    if application is not None and application.name == sys.argv[1]:
        walk(application, 0, True)
        sys.exit(0)
sys.exit(1)

#!/usr/bin/env python3
"""What the program shows, as a screen reader hears it over the accessibility bus.

    screen.py dump WINDOW-TITLE          every object of that window, one a line:
                                         role|name|value|states|actions
    screen.py table WINDOW-TITLE         the window's table: its column headers, then one
                                         line a row, cells joined by '|'
    screen.py do WINDOW-TITLE ROLE NAME ACTION
                                         runs the named action of the first object of that
                                         role and name (for example: "column header" Date click)
    screen.py focus WINDOW-TITLE         role|name of the object that holds the focus

A window is found by its title (an exact match) among the frames and dialogs of the
application "Wingtrail", the active one first. Every command waits a bounded time for the window to appear
(WT_SCREEN_WAIT seconds, 20 by default) and exits 2 when it does not.
"""
import sys
import time

import pyatspi

WAIT = 20.0


def windows():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        try:
            if app.name != "Wingtrail":
                continue
            for win in app:
                if win is not None:
                    yield win
        except Exception:  # an application that went away while we looked
            continue


def find_window(title):
    deadline = time.monotonic() + WAIT
    while True:
        # The active one first: a message box shares its title with the main window.
        found = []
        for win in windows():
            try:
                state = win.getState()
                if win.name == title and state.contains(pyatspi.STATE_SHOWING):
                    found.append((not state.contains(pyatspi.STATE_ACTIVE), win))
            except Exception:
                pass
        if found:
            return sorted(found, key=lambda f: f[0])[0][1]
        if time.monotonic() > deadline:
            sys.exit(f"screen.py: no window titled {title!r} on the accessibility bus")
            return None
        time.sleep(0.2)


def walk(node, depth=0, limit=4000):
    """Every object below node, depth first, at most limit of them (a table of many rows
    is not walked cell by cell: tables are read with the table command)."""
    stack = [node]
    seen = 0
    while stack and seen < limit:
        obj = stack.pop()
        if obj is None:
            continue
        seen += 1
        yield obj
        try:
            if obj.getRole() in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE):
                continue
            children = [obj.getChildAtIndex(i) for i in range(obj.childCount)]
        except Exception:
            continue
        stack.extend(reversed(children))


def value_of(obj):
    try:
        text = obj.queryText()
        return text.getText(0, -1)
    except NotImplementedError:
        pass
    except Exception:
        pass
    try:
        return str(obj.queryValue().currentValue)
    except Exception:
        return ""


def actions_of(obj):
    try:
        action = obj.queryAction()
        return [action.getName(i) for i in range(action.nActions)]
    except Exception:
        return []


def describe(obj):
    states = obj.getState().getStates()
    names = sorted(pyatspi.stateToString(s) for s in states)
    fields = [obj.getRoleName(), obj.name or "", value_of(obj), ",".join(names),
              ",".join(actions_of(obj))]
    return "|".join(f.replace("|", "/").replace("\n", "\\n") for f in fields)


def table_of(win):
    for obj in walk(win):
        if obj.getRole() in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE):
            return obj
    sys.exit("screen.py: the window has no table")


def cmd_dump(title):
    for obj in walk(find_window(title)):
        print(describe(obj))


def cmd_table(title):
    table = table_of(find_window(title))
    t = table.queryTable()
    headers = []
    for c in range(t.nColumns):
        h = t.getColumnHeader(c)
        headers.append(h.name if h is not None else "")
    print("|".join(headers))
    for r in range(min(t.nRows, 200)):
        cells = []
        for c in range(t.nColumns):
            cell = t.getAccessibleAt(r, c)
            cells.append("" if cell is None else (cell.name or value_of(cell)))
        print("|".join(cells))


def cmd_do(title, role, name, action_name):
    win = find_window(title)
    candidates = list(walk(win))
    try:
        table = table_of(win)
        t = table.queryTable()
        candidates += [t.getColumnHeader(c) for c in range(t.nColumns)]
    except SystemExit:
        pass
    for obj in candidates:
        if obj is None:
            continue
        if obj.getRoleName() == role and (obj.name or "") == name:
            action = obj.queryAction()
            for i in range(action.nActions):
                if action.getName(i) == action_name:
                    action.doAction(i)
                    return
            sys.exit(f"screen.py: {role} {name!r} has no action {action_name!r} ({actions_of(obj)})")
    sys.exit(f"screen.py: no {role} named {name!r}")


def cmd_focus(title):
    # A container whose focus proxy is a child (a dialog's button box) says it is focused
    # too: the innermost focused object is the one that holds the focus.
    focused = [obj for obj in walk(find_window(title)) if obj.getState().contains(pyatspi.STATE_FOCUSED)]
    if not focused:
        sys.exit("screen.py: nothing holds the focus")
    print(f"{focused[-1].getRoleName()}|{focused[-1].name or ''}")


def main():
    global WAIT
    import os
    WAIT = float(os.environ.get("WT_SCREEN_WAIT", "20"))
    commands = {"dump": (cmd_dump, 1), "table": (cmd_table, 1), "do": (cmd_do, 4), "focus": (cmd_focus, 1)}
    if len(sys.argv) < 2 or sys.argv[1] not in commands or len(sys.argv) != 2 + commands[sys.argv[1]][1]:
        sys.exit(__doc__)
    fn, _ = commands[sys.argv[1]]
    try:
        fn(*sys.argv[2:])
    except SystemExit:
        raise
    except BrokenPipeError:  # a reader that had heard enough (grep -q)
        sys.stderr.close()
    except Exception as e:  # the bus or the program went away: say so, do not hang
        sys.exit(f"screen.py: {type(e).__name__}: {e}")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""A minimal X11 clipboard manager for the end-to-end checks.

Owns CLIPBOARD_MANAGER, as a desktop's clipboard manager does. When a program that owns
the clipboard exits and asks it to SAVE_TARGETS, it fetches the clipboard's text, writes it
to the file given, answers the program, and ends.

Usage: clipboard_manager.py OUTPUT_FILE     (prints READY once it owns the selection)
"""
import sys

from Xlib import X, Xatom, display
from Xlib.protocol import event


def main():
    out = sys.argv[1]
    d = display.Display()
    win = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    manager = d.intern_atom("CLIPBOARD_MANAGER")
    clipboard = d.intern_atom("CLIPBOARD")
    utf8 = d.intern_atom("UTF8_STRING")
    saved = d.intern_atom("TALLYAID_SAVED")
    win.set_selection_owner(manager, X.CurrentTime)
    d.flush()
    if d.get_selection_owner(manager) != win:
        print("could not own CLIPBOARD_MANAGER", file=sys.stderr)
        return 1
    print("READY", flush=True)
    request = None
    while True:
        e = d.next_event()
        if e.type == X.SelectionRequest and e.selection == manager:
            request = e
            win.convert_selection(clipboard, utf8, saved, e.time)
            d.flush()
        elif e.type == X.SelectionNotify and e.selection == clipboard and request is not None:
            text = b""
            if e.property != X.NONE:
                prop = win.get_full_property(saved, X.AnyPropertyType)
                text = prop.value if prop else b""
                if isinstance(text, str):
                    text = text.encode()
            with open(out, "wb") as f:
                f.write(text)
            reply = event.SelectionNotify(time=request.time, requestor=request.requestor,
                                          selection=request.selection, target=request.target,
                                          property=request.property or request.target)
            request.requestor.send_event(reply)
            d.flush()
            return 0


if __name__ == "__main__":
    sys.exit(main())
